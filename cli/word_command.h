// What `vtm lookup` and `vtm generate` share: their common options, opening the
// transducer (the bundled English one by default) and the optional client dictionary,
// and running every input through the word stream.
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "vtmrt.h"

namespace vtm::cli {

struct WordOptions {
  std::string transducer;             // -t; empty: the bundled English transducer
  std::vector<std::string> inputs;    // input files, "-" for stdin; none: stdin
  std::string dict;                   // --dict entry file, or empty
  int threads = 1;                    // -j
  bool json = false;                  // --format json
  std::size_t cache_entries = 65536;  // --cache-entries; 0 or --no-cache: no output memo
};

// The text shared by both commands' --help about encodings and output.
extern const char* const kWordIoHelp;

// Adds -t, -j, --format and the input file arguments to `cmd`.
void AddWordOptions(CLI::App* cmd, WordOptions* options);

// The library's message for an error code.
std::string LibraryMessage(int code);

// Loads a client dictionary entry file written in UTF-8 into `dict` (converted to code
// page 1252 on the way); reports failures as "vtm COMMAND: ..." and returns 1, else 0.
int LoadDictionary(const char* command, const std::string& path, VtmClientDict dict);

// Opens each input in turn ("-" or none: standard input) and calls `run` with its file
// descriptor and its name for messages ("stdin" for standard input). Returns 0 when every
// input opened and every `run` returned 0, else 1; failures to open are reported.
int ForEachInput(const char* command, const std::vector<std::string>& inputs,
                 const std::function<int(int fd, const std::string& name)>& run);

// Runs `command` ("lookup" or "generate") in lookup mode `mode`; returns the exit status.
int RunWordCommand(const char* command, const WordOptions& options, int mode);

}  // namespace vtm::cli
