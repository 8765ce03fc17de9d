// Test helper for programs that show a message box: waits (up to a time limit) for a
// top-level window with the given title, writes the box's text to standard output exactly
// as shown, and presses its OK button. Exit status 0 when a box was read and closed, 1 when
// none appeared in time.
// Usage: message_box_reader TITLE [SECONDS]
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The longest text of the box's static controls: the icon's static control has none.
BOOL CALLBACK TakeLongestStaticText(HWND child, LPARAM found) {
  char class_name[16] = {};
  GetClassNameA(child, class_name, sizeof class_name);
  if (lstrcmpiA(class_name, "Static") != 0) return TRUE;
  const int length = GetWindowTextLengthA(child);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(child, text.data(), length + 1)));
  auto* best = reinterpret_cast<std::string*>(found);
  if (text.size() > best->size()) *best = text;
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: message_box_reader TITLE [SECONDS]\n");
    return 2;
  }
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
  HWND box = nullptr;
  for (int waited = 0; box == nullptr && waited < seconds * 10; ++waited) {
    box = FindWindowA(nullptr, argv[1]);
    if (box == nullptr) Sleep(100);
  }
  if (box == nullptr) {
    std::fprintf(stderr, "no window titled \"%s\"\n", argv[1]);
    return 1;
  }
  std::string text;
  EnumChildWindows(box, TakeLongestStaticText, reinterpret_cast<LPARAM>(&text));
  _setmode(_fileno(stdout), _O_BINARY);  // the text's own line ends, unchanged
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  return 0;
}
