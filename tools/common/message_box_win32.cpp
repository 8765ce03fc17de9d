// Message box on Windows: a box without owner window, with the information icon and OK.
#include <windows.h>

#include "message_box.h"

namespace corvane {

void ShowInformation(const char* title, const std::string& text) {
  MessageBoxA(nullptr, text.c_str(), title, MB_OK | MB_ICONINFORMATION);
}

}  // namespace corvane
