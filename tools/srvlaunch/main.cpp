// srvlaunch: makes sure the server's service is running, waits for instance 0's settings,
// writes an internet shortcut to its administration page into its data directory and opens it
// in the browser.
//
// Exit status: 0 success; 1 no service manager, or settings or shortcut file not available
// after ten attempts; 10 service cannot be opened; 11 service cannot be started; otherwise the
// shell's error value (32 or less) when it cannot open the shortcut.
#include <cstdio>
#include <string>

#include "launch_steps.h"
#include "platform_misc.h"
#include "service_manager.h"
#include "shell_open.h"

namespace {

constexpr const char* kServiceName = "Corvane Server";
constexpr const char* kShortcutName = "srvlaunch.url";
constexpr int kExitUnavailable = 1;
constexpr int kExitCannotOpenService = 10;
constexpr int kExitCannotStartService = 11;
// The shell's "out of memory or resources" result is 0, which must not read as success.
constexpr int kShellOutOfMemory = 8;

int ReportNoServiceManager() {
  std::fprintf(stderr, "%s\n", "OpenSCManager failed.");
  std::fprintf(stderr, "Error exit: %d\n", kExitUnavailable);
  char line[80];
  if (std::fgets(line, sizeof line, stdin) == nullptr) line[0] = '\0';
  return kExitUnavailable;
}

}  // namespace

int main() {
  const char separator = corvane::PathSeparator();
  corvane::ChangeWorkingDirectory((std::string("..") + separator + "..").c_str());

  switch (corvane::StartSystemService(kServiceName)) {
    case corvane::ServiceStartResult::kNoServiceManager:
      return ReportNoServiceManager();
    case corvane::ServiceStartResult::kCannotOpen:
      return kExitCannotOpenService;
    case corvane::ServiceStartResult::kCannotStart:
      return kExitCannotStartService;
    case corvane::ServiceStartResult::kStarted:
      break;
  }

  corvane::InstanceSettings settings;
  if (!corvane::WaitForInstanceSettings(&settings)) return kExitUnavailable;
  // The directory is used as read: a trailing separator there doubles before the file name.
  const std::string shortcut = settings.data_dir + separator + kShortcutName;
  const std::string url = corvane::AdminUrl(settings);
  if (!corvane::WriteShortcutFile(shortcut, url)) return kExitUnavailable;

  const int shell_result = corvane::OpenShortcut(shortcut, url);
  if (shell_result > 32) return 0;
  return shell_result == 0 ? kShellOutOfMemory : shell_result;
}
