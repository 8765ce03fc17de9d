// Message box on Linux: a zenity information dialog when a display and zenity are there;
// otherwise (or when zenity cannot show it) the text goes to standard output.
#include <cstdio>
#include <cstdlib>

#include "child_process_linux.h"
#include "message_box.h"

namespace corvane {
namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return true;
  }
  return false;
}

}  // namespace

void ShowInformation(const char* title, const std::string& text) {
  if (HasDisplay()) {
    // --no-markup: the text is shown as it is, whatever characters the values hold.
    const ChildResult shown =
        RunChild({"zenity", "--info", "--title", title, "--no-markup", "--text", text}, false);
    // 0: closed with OK; 1: closed otherwise. Anything else means no dialog was shown.
    if (shown.started && (shown.exit_status == 0 || shown.exit_status == 1)) return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace corvane
