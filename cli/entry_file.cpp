// The library reads entry files as raw bytes in the transducer's code page, so a file
// with non-ASCII text goes to the library through a converted temporary copy.
#include "entry_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "library_message.h"
#include "text_edges.h"

namespace vtm::cli {

bool LoadEntryFile(const std::string& path, VtmClientDict dict, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  std::string converted;
  std::size_t where = 0;
  EdgeStatus status = in ? Utf8ToCodePage(text.str(), &converted, &where) : EdgeStatus::kOk;
  if (status != EdgeStatus::kOk) {
    *error = path + ": " +
             (status == EdgeStatus::kInvalidUtf8 ? "invalid UTF-8"
                                                 : "a character outside code page 1252") +
             " at byte " + std::to_string(where + 1);
    return false;
  }
  std::string load_path = path;
  std::string temp;
  if (in && converted != text.str()) {
    const char* dir = std::getenv("TMPDIR");
    temp = std::string(dir && *dir ? dir : "/tmp") + "/vtm-dict.XXXXXX";
    int fd = ::mkstemp(temp.data());
    bool written = fd >= 0 && ::write(fd, converted.data(), converted.size()) ==
                                  static_cast<ssize_t>(converted.size());
    if (fd >= 0) ::close(fd);
    if (!written) {
      *error = path + ": cannot write a converted copy: " + std::strerror(errno);
      if (fd >= 0) ::unlink(temp.c_str());
      return false;
    }
    load_path = temp;
  }
  int loaded = vtm_load_entries(load_path.c_str(), 0, dict);
  if (!temp.empty()) ::unlink(temp.c_str());
  if (loaded < 0) {
    *error = path + ": " + LibraryMessage(loaded);
    return false;
  }
  return true;
}

}  // namespace vtm::cli
