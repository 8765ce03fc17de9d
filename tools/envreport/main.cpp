// envreport: shows a short report on the machine (system version, memory, host name, installed
// server version) in a message box titled "System Info", then exits with status 0.
#include "machine_report.h"
#include "message_box.h"

int main() {
  const std::string report = corvane::BuildMachineReport(corvane::CollectReportSources());
  corvane::ShowInformation("System Info", report);
  return 0;
}
