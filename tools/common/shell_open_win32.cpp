// Shell open on Windows: the shell's "open" verb on the shortcut file, in a normal window;
// the shell starts the program associated with internet shortcuts (the browser).
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "shell_open.h"

namespace corvane {

int OpenShortcut(const std::string& shortcut_path, const std::string& /*url*/) {
  HINSTANCE result =
      ShellExecuteA(nullptr, "open", shortcut_path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  // The result is a number disguised as a handle: above 32 for success, else the error value.
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace corvane
