// Read-only access to a transducer file: opened in binary mode with other writers
// denied (an advisory shared lock on POSIX, a deny-write share mode on Windows),
// closed by the destructor on every path, read in pieces of at most 32,768 bytes.
#pragma once

#include <cstdint>

namespace vtm {

class FsmFile {
 public:
  static constexpr uint32_t kPieceBytes = 32768;

  FsmFile() = default;
  FsmFile(const FsmFile&) = delete;
  FsmFile& operator=(const FsmFile&) = delete;
  ~FsmFile() { Close(); }

  // Opens `path`; false when it cannot be opened or another process holds a write lock.
  bool Open(const char* path);
  void Close();
  // Size of the file in bytes, or -1 when unknown.
  int64_t Size() const;
  // Reads exactly `count` bytes at the current position; false on a short read.
  bool ReadFully(uint8_t* buffer, uint32_t count);
  // Reads up to `count` bytes (at most kPieceBytes); returns the number read, 0 at the
  // end of the file, -1 on an error.
  int32_t ReadSome(uint8_t* buffer, uint32_t count);
  // Moves to an absolute file offset.
  bool Seek(uint32_t offset);

 private:
  int fd_ = -1;
};

}  // namespace vtm
