// Path separator, working directory and sleeping on Linux.
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform_misc.h"

namespace corvane {

char PathSeparator() {
  return '/';
}

void ChangeWorkingDirectory(const char* path) {
  if (chdir(path) != 0) return;  // staying where we are is what the callers expect then
}

void SleepMilliseconds(unsigned milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace corvane
