// Service manager on Linux: systemd, driven through systemctl.
//
// The Windows service name maps to a unit name: ASCII letters lowered, blanks turned to '-',
// ".service" appended ("Corvane Server" is corvane-server.service). The three steps of the
// Windows service manager map to: reading the unit's load state (fails when systemd cannot be
// reached), the load state "not-found" (the service cannot be opened), and "systemctl start"
// (success also when the unit is already running).
#include <cctype>
#include <string>

#include "child_process_linux.h"
#include "service_manager.h"

namespace corvane {
namespace {

std::string UnitName(const char* service_name) {
  std::string unit;
  for (const char* p = service_name; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    unit += c == ' ' ? '-' : static_cast<char>(std::tolower(c));
  }
  return unit + ".service";
}

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

}  // namespace

ServiceStartResult StartSystemService(const char* service_name) {
  const std::string unit = UnitName(service_name);
  const ChildResult state =
      RunChild({"systemctl", "show", "--property=LoadState", "--value", unit}, true);
  if (!state.started || state.exit_status != 0) return ServiceStartResult::kNoServiceManager;
  if (FirstLine(state.output) == "not-found") return ServiceStartResult::kCannotOpen;
  const ChildResult start = RunChild({"systemctl", "start", unit}, false);
  if (!start.started || start.exit_status != 0) return ServiceStartResult::kCannotStart;
  return ServiceStartResult::kStarted;
}

}  // namespace corvane
