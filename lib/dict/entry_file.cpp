// Loading client dictionary entries from a text file.
//
// The file is read in pieces of at most 1023 bytes, each ending at a LF or at the size
// limit; a longer line thus gives several pieces, and each piece is treated as a line.
// A line is cut at its first CR, LF or NUL. Lines starting with a byte of 0x20 or below
// or with ";" are skipped. A line holding a TAB adds "first field -> text after the last
// TAB" and ends the current group; a line "[...]" opens a group (its text becomes the
// value of the single-field lines that follow); any other line is a key of the current
// group, and a key before any group fails with VTM_ERR_DICT_ENTRY_BEFORE_TAG.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dict/client_dict.h"
#include "frame/frame.h"

#if defined(_WIN32)
#include <share.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace vtm {
namespace {

constexpr int kLineBufferSize = 1024;  // pieces of at most 1023 bytes and a NUL

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

// Opens `path` for reading raw bytes while keeping other writers out (a share mode on
// Windows, an advisory shared lock elsewhere, held until the file is closed). Returns
// null when the file cannot be opened or is locked for writing.
File OpenDenyingWriters(const char* path) {
#if defined(_WIN32)
  return File(_fsopen(path, "rb", _SH_DENYWR));
#else
  int fd;
  do {
    fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  int locked;
  do {
    locked = ::flock(fd, LOCK_SH | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  // Only a conflicting lock refuses the file; a file system without locks is read as is.
  if (locked != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* f = ::fdopen(fd, "rb");
  if (f == nullptr) ::close(fd);
  return File(f);
#endif
}

// Reads one piece into `line` (NUL-terminated). Returns false at the end of the file
// or on a read error; the caller tells them apart with ferror.
bool ReadPiece(std::FILE* f, char* line) {
  return std::fgets(line, kLineBufferSize, f) != nullptr;
}

// The loader's state across lines: the dictionary, the current group's tag text, and
// the number of entries added so far.
class EntryLoader {
 public:
  EntryLoader(VtmClientDict dict, int reserved, char* tag_buffer)
      : dict_(dict), reserved_(reserved), tag_(tag_buffer) {}

  int added() const { return added_ > INT_MAX ? INT_MAX : static_cast<int>(added_); }

  // Handles one piece; returns VTM_OK or the code that ends the load.
  int HandleLine(char* line) {
    line[std::strcspn(line, "\r\n")] = '\0';
    const unsigned char first = static_cast<unsigned char>(line[0]);
    if (first <= 0x20 || first == ';') return VTM_OK;

    char* first_tab = std::strchr(line, '\t');
    if (first_tab != nullptr) {
      const char* value = std::strrchr(line, '\t') + 1;
      *first_tab = '\0';
      has_tag_ = false;
      return Add(line, value);
    }
    const std::size_t length = std::strlen(line);
    if (line[0] == '[' && length >= 2 && line[length - 1] == ']') {
      std::memcpy(tag_, line, length + 1);
      has_tag_ = true;
      return VTM_OK;
    }
    if (!has_tag_) return VTM_ERR_DICT_ENTRY_BEFORE_TAG;
    return Add(line, tag_);
  }

 private:
  int Add(const char* key, const char* value) {
    int code = vtm_add_entry(key, value, reserved_, dict_);
    if (code < 0) return code;
    ++added_;
    return VTM_OK;
  }

  VtmClientDict dict_;
  int reserved_;
  char* tag_;  // kLineBufferSize bytes; valid while has_tag_
  bool has_tag_ = false;
  unsigned long long added_ = 0;
};

}  // namespace
}  // namespace vtm

extern "C" VTMRT_API int vtm_load_entries(const char* path, int reserved, VtmClientDict dict) {
  if (int code = vtm::CheckObject(dict)) return code;
  if (path == nullptr) return VTM_ERR_NULL_OBJECT;

  // One block holds the line buffer and the copy of the current tag specification, which
  // is never longer than a line.
  std::unique_ptr<char, vtm::FreeDeleter> buffers(
      static_cast<char*>(std::malloc(2 * vtm::kLineBufferSize)));
  vtm::File file = vtm::OpenDenyingWriters(path);
  if (!file) return VTM_ERR_FILE_OPEN;
  if (!buffers) return VTM_ERR_NO_MEMORY;

  char* line = buffers.get();
  vtm::EntryLoader loader(dict, reserved, buffers.get() + vtm::kLineBufferSize);
  while (vtm::ReadPiece(file.get(), line)) {
    if (int code = loader.HandleLine(line)) return code;
  }
  // A read that fails part-way (an unreadable medium, a directory) is not a clean end
  // of file: the entries read so far stay, but the load is reported as failed.
  if (std::ferror(file.get())) return VTM_ERR_FILE_OPEN;
  return loader.added();
}
