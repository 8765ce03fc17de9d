// The machine report's text, built from what the system and the registry store provided.
#pragma once

#include <optional>
#include <string>

#include "system_info.h"

namespace corvane {

struct ReportSources {
  std::optional<OsVersionInfo> os_version;
  std::optional<std::string> product_type;  // NT only
  std::optional<MemoryStatus> memory;
  std::optional<std::string> host_name_line;  // with its own line end
  std::string server_version;                 // empty when unknown
};

// Every source is optional: a missing one leaves its line out. Byte counts are printed as
// unsigned 64-bit decimals, so memory sizes above 2 GiB print as they are.
std::string BuildMachineReport(const ReportSources& sources);

// Collects the sources from the running system and from instance 0 of the registry store.
ReportSources CollectReportSources();

}  // namespace corvane
