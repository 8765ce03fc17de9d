// Shell open on Linux: the shortcut's URL is handed to xdg-open, which starts the user's
// preferred browser. xdg-open's own failure statuses (1 to 4) are all 32 or less and are passed
// on; when it cannot be run or dies, the result is SE_ERR_NOASSOC (31, no program associated).
#include "child_process_linux.h"
#include "shell_open.h"

namespace corvane {
namespace {
constexpr int kShellSuccess = 33;
constexpr int kNoAssociation = 31;
}  // namespace

int OpenShortcut(const std::string& /*shortcut_path*/, const std::string& url) {
  const ChildResult opened = RunChild({"xdg-open", url}, false);
  if (!opened.started || opened.exit_status < 0) return kNoAssociation;
  if (opened.exit_status == 0) return kShellSuccess;
  return opened.exit_status <= 32 ? opened.exit_status : kNoAssociation;
}

}  // namespace corvane
