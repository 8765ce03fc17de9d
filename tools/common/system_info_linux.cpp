// System information on Linux: uname for the version, sysinfo for memory (swap standing for
// the page file), the system host name. There is no product type outside NT.
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "system_info.h"

namespace corvane {
namespace {

// Reads the decimal number at `*p` (after a '.' unless `first`) and moves past it; 0 when
// there is none or it does not fit 32 bits.
int32_t TakeNumber(const char** p, bool first) {
  if (!first) {
    if (**p != '.') return 0;
    ++*p;
  }
  int64_t value = 0;
  bool overflow = false;
  for (; **p >= '0' && **p <= '9'; ++*p) {
    if (!overflow) value = value * 10 + (**p - '0');
    if (value > INT32_MAX) overflow = true;
  }
  return overflow ? 0 : static_cast<int32_t>(value);
}

}  // namespace

std::optional<OsVersionInfo> QueryOsVersion() {
  utsname names{};
  if (uname(&names) != 0) return std::nullopt;
  OsVersionInfo info;
  info.platform_name = names.sysname;
  // A release such as "6.1.0-18-amd64": major, minor, and the patch number as the build.
  const char* p = names.release;
  info.major = TakeNumber(&p, true);
  info.minor = TakeNumber(&p, false);
  info.build = TakeNumber(&p, false);
  return info;
}

std::optional<std::string> QueryProductType() {
  return std::nullopt;
}

std::optional<MemoryStatus> QueryMemoryStatus() {
  struct sysinfo si {};
  if (sysinfo(&si) != 0) return std::nullopt;
  const uint64_t unit = si.mem_unit == 0 ? 1 : si.mem_unit;
  MemoryStatus status;
  status.total_physical = static_cast<uint64_t>(si.totalram) * unit;
  status.available_physical = static_cast<uint64_t>(si.freeram) * unit;
  status.total_page_file = static_cast<uint64_t>(si.totalswap) * unit;
  status.available_page_file = static_cast<uint64_t>(si.freeswap) * unit;
  return status;
}

std::optional<std::string> QueryHostNameLine() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return std::nullopt;
  return std::string(name) + "\n";
}

}  // namespace corvane
