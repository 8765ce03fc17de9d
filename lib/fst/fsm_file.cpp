// File access for the transducer loader (see fsm_file.h).
#include "fst/fsm_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vtm {

bool FsmFile::Open(const char* path) {
  Close();
#if defined(_WIN32)
  int fd = -1;
  if (_sopen_s(&fd, path, _O_RDONLY | _O_BINARY, _SH_DENYWR, 0) != 0) return false;
#else
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  // Directories and other non-regular files are not transducers.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  // Deny writers that honour advisory locks while the file is being read; a file that
  // is locked for writing right now counts as locked.
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
#endif
  fd_ = fd;
  return true;
}

void FsmFile::Close() {
  if (fd_ < 0) return;
#if defined(_WIN32)
  _close(fd_);
#else
  ::close(fd_);  // releases the lock as well
#endif
  fd_ = -1;
}

int64_t FsmFile::Size() const {
#if defined(_WIN32)
  struct _stat64 st {};
  if (_fstat64(fd_, &st) != 0) return -1;
#else
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return -1;
#endif
  return static_cast<int64_t>(st.st_size);
}

bool FsmFile::ReadFully(uint8_t* buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    uint32_t piece = std::min(kPieceBytes, count - done);
#if defined(_WIN32)
    int got = _read(fd_, buffer + done, piece);
#else
    ssize_t got = ::read(fd_, buffer + done, piece);
    if (got < 0 && errno == EINTR) continue;
#endif
    if (got <= 0) return false;
    done += static_cast<uint32_t>(got);
  }
  return true;
}

int32_t FsmFile::ReadSome(uint8_t* buffer, uint32_t count) {
  const uint32_t piece = std::min(kPieceBytes, count);
  for (;;) {
#if defined(_WIN32)
    int got = _read(fd_, buffer, piece);
#else
    ssize_t got = ::read(fd_, buffer, piece);
    if (got < 0 && errno == EINTR) continue;
#endif
    return got < 0 ? -1 : static_cast<int32_t>(got);
  }
}

bool FsmFile::Seek(uint32_t offset) {
#if defined(_WIN32)
  return _lseeki64(fd_, offset, SEEK_SET) == static_cast<__int64>(offset);
#else
  return ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
#endif
}

}  // namespace vtm
