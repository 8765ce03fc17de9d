// The machine report's layout from given sources: every line, the optional ones left out, and
// byte counts beyond 32 bits printed whole.
#include "machine_report.h"

#include <gtest/gtest.h>

namespace {

constexpr uint64_t kGiB = uint64_t{1} << 30;

TEST(MachineReport, FullReportOnNtWithLargeMemory) {
  corvane::ReportSources sources;
  sources.os_version = corvane::OsVersionInfo{"Windows NT", 5, 1, 2600, "Service Pack 3"};
  sources.product_type = "ServerNT";
  sources.memory = corvane::MemoryStatus{8 * kGiB, 3 * kGiB, 12 * kGiB + 5, 2 * kGiB};
  sources.host_name_line = "web-01\n";
  sources.server_version = "7.4";
  EXPECT_EQ(corvane::BuildMachineReport(sources),
            "\n"
            "Platform: Windows NT 5.1   Build: 2600   ServicePack: Service Pack 3\n"
            "Product Type: ServerNT\n"
            "\n"
            "Memory: 8589934592 (3221225472 free)   Virtual: 12884901893 (2147483648 free)\n"
            "\n"
            "Hostname: web-01\n"
            "Corvane version: 7.4"
            "\n\n\n");
}

TEST(MachineReport, MissingSourcesLeaveTheirLinesOut) {
  corvane::ReportSources sources;
  sources.os_version = corvane::OsVersionInfo{"Linux", 6, 1, 0, ""};
  EXPECT_EQ(corvane::BuildMachineReport(sources),
            "\nPlatform: Linux 6.1   Build: 0   ServicePack: \n\n\n\n\n\n");
  sources.host_name_line = "box";  // a host line without its own line end stays so
  EXPECT_EQ(corvane::BuildMachineReport(sources),
            "\nPlatform: Linux 6.1   Build: 0   ServicePack: \n\n\nHostname: box\n\n\n");
}

TEST(MachineReport, NegativeVersionNumbersAndLargestByteCounts) {
  corvane::ReportSources sources;
  sources.os_version = corvane::OsVersionInfo{"Windows ??", -1, 0, -2147483647 - 1, ""};
  sources.memory = corvane::MemoryStatus{UINT64_MAX, 0, 0, 0};
  EXPECT_EQ(corvane::BuildMachineReport(sources),
            "\nPlatform: Windows ?? -1.0   Build: -2147483648   ServicePack: \n\n"
            "Memory: 18446744073709551615 (0 free)   Virtual: 0 (0 free)\n\n\n\n\n");
}

}  // namespace
