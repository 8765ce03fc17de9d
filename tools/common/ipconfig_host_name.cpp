// Host name from "ipconfig /all": the fourth line's text past "<label>: ".
#include "ipconfig_host_name.h"

#include <cstring>

namespace corvane {

std::optional<std::string> HostNameFromIpconfig(std::FILE* output) {
  constexpr int kLinesToRead = 4;
  char line[1024];
  std::string last;
  bool any = false;
  for (int i = 0; i < kLinesToRead; ++i) {
    if (std::fgets(line, sizeof line, output) == nullptr) break;
    last = line;
    any = true;
  }
  if (!any) return std::nullopt;
  const size_t colon = last.find(':');
  if (colon == std::string::npos) return std::nullopt;
  // Past the colon and the blank after it; a colon at the very end leaves nothing.
  const size_t start = colon + 2;
  return start < last.size() ? last.substr(start) : std::string();
}

}  // namespace corvane
