// Path separator, working directory and sleeping on Windows.
#include <direct.h>
#include <windows.h>

#include "platform_misc.h"

namespace corvane {

char PathSeparator() {
  return '\\';
}

void ChangeWorkingDirectory(const char* path) {
  if (_chdir(path) != 0) return;  // staying where we are is what the callers expect then
}

void SleepMilliseconds(unsigned milliseconds) {
  Sleep(milliseconds);
}

}  // namespace corvane
