// Small platform services of the launcher: the path separator, changing the working directory
// and sleeping.
#pragma once

namespace corvane {

// The separator between directory and file names: '\\' on Windows, '/' elsewhere.
char PathSeparator();

// Changes the process's working directory; failure is ignored by the callers, so none is returned.
void ChangeWorkingDirectory(const char* path);

void SleepMilliseconds(unsigned milliseconds);

}  // namespace corvane
