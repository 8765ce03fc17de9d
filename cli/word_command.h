// What `vtm lookup` and `vtm generate` share: their common options, opening the
// transducer (the bundled English one by default) and the optional client dictionary,
// and running every input through the word stream.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace vtm::cli {

struct WordOptions {
  std::string transducer;           // -t; empty: the bundled English transducer
  std::vector<std::string> inputs;  // input files, "-" for stdin; none: stdin
  std::string dict;                 // --dict entry file, or empty
  int threads = 1;                  // -j
  bool json = false;                // --format json
};

// The text shared by both commands' --help about encodings and output.
extern const char* const kWordIoHelp;

// Adds -t, -j, --format and the input file arguments to `cmd`.
void AddWordOptions(CLI::App* cmd, WordOptions* options);

// Runs `command` ("lookup" or "generate") in lookup mode `mode`; returns the exit status.
int RunWordCommand(const char* command, const WordOptions& options, int mode);

}  // namespace vtm::cli
