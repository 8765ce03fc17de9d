// Where the fuzz targets that load from a path write their scratch files: $TMPDIR when
// set, else /dev/shm when it is writable, else /tmp. A file on disk makes each execution
// wait for the file system (about 30 times fewer executions per second than in memory),
// so a run started by hand without TMPDIR still gets the in-memory folder.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vtm::fuzz {

// The folder for scratch files, chosen once per process.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir != nullptr && *tmpdir != '\0') return std::string(tmpdir);
    if (access("/dev/shm", W_OK) == 0) return std::string("/dev/shm");
    return std::string("/tmp");
  }();
  return dir;
}

}  // namespace vtm::fuzz
