// Building the machine report: platform, product type, memory, host name, server version, in
// this order, with the blank lines between them.
#include "machine_report.h"

#include "registry_store.h"

namespace corvane {
namespace {

constexpr size_t kVersionBufferSize = 128;

std::string PlatformLine(const OsVersionInfo& os) {
  return "Platform: " + os.platform_name + " " + std::to_string(os.major) + "." +
         std::to_string(os.minor) + "   Build: " + std::to_string(os.build) +
         "   ServicePack: " + os.service_pack + "\n";
}

// The byte counts are written in full as unsigned numbers: a machine with 2 GiB or more
// would show negative or wrapped figures in a signed 32-bit field.
std::string MemoryLine(const MemoryStatus& m) {
  return "Memory: " + std::to_string(m.total_physical) + " (" +
         std::to_string(m.available_physical) +
         " free)   Virtual: " + std::to_string(m.total_page_file) + " (" +
         std::to_string(m.available_page_file) + " free)\n";
}

}  // namespace

std::string BuildMachineReport(const ReportSources& sources) {
  std::string report = "\n";
  if (sources.os_version) report += PlatformLine(*sources.os_version);
  if (sources.product_type) report += "Product Type: " + *sources.product_type + "\n";
  report += "\n";
  if (sources.memory) report += MemoryLine(*sources.memory);
  report += "\n";
  if (sources.host_name_line) report += "Hostname: " + *sources.host_name_line;
  if (!sources.server_version.empty()) report += "Corvane version: " + sources.server_version;
  report += "\n\n\n";
  return report;
}

ReportSources CollectReportSources() {
  ReportSources sources;
  sources.os_version = QueryOsVersion();
  sources.product_type = QueryProductType();
  sources.memory = QueryMemoryStatus();
  sources.host_name_line = QueryHostNameLine();
  char version[kVersionBufferSize];
  GetStringValue(0, "version", version, sizeof version);
  sources.server_version = version;
  return sources;
}

}  // namespace corvane
