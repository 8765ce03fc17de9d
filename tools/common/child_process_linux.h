// Running another program as a child process on Linux (found on PATH, no shell involved).
#pragma once

#include <string>
#include <vector>

namespace corvane {

struct ChildResult {
  bool started = false;  // false when the program could not be run at all
  int exit_status = -1;  // -1 when it did not exit normally (killed by a signal)
  std::string output;    // its standard output, when captured
};

// Runs `argv` (argv[0] looked up on PATH) with standard input from /dev/null and standard
// error discarded; standard output is captured when `capture_output`, else discarded. Waits for
// the child to end.
ChildResult RunChild(const std::vector<std::string>& argv, bool capture_output);

}  // namespace corvane
