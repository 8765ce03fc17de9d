// System information for the machine report: operating-system version, product type, memory
// status and host name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

struct OsVersionInfo {
  std::string platform_name;  // "Windows NT", "Windows 95", ...; the system name elsewhere
  int32_t major = 0;
  int32_t minor = 0;
  int32_t build = 0;  // as the system reports it, unmasked
  std::string service_pack;
};

// Memory sizes in bytes; the page file is the swap space where there is no page file.
struct MemoryStatus {
  uint64_t total_physical = 0;
  uint64_t available_physical = 0;
  uint64_t total_page_file = 0;
  uint64_t available_page_file = 0;
};

std::optional<OsVersionInfo> QueryOsVersion();

// The "ProductType" string of an NT system; nothing on other systems or on any failure.
std::optional<std::string> QueryProductType();

std::optional<MemoryStatus> QueryMemoryStatus();

// The host name as it follows "Hostname: " in the report, with its own line end; nothing when
// it cannot be found.
std::optional<std::string> QueryHostNameLine();

}  // namespace corvane
