// Shared options and set-up of `vtm lookup` and `vtm generate`.
#include "word_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "default_transducer.h"
#include "entry_file.h"
#include "library_message.h"
#include "subcommands.h"
#include "text_edges.h"
#include "vtmrt.h"
#include "word_stream.h"

namespace vtm::cli {
namespace {

// Room for the output memo of one thread: the output of some 100,000 typical words.
constexpr std::size_t kCacheBytesPerThread = 8 << 20;

}  // namespace

const char* const kWordIoHelp =
    "Input: one word per line, from the FILEs or standard input, in UTF-8; each word is "
    "converted to Windows code page 1252 (the transducers' character set) before lookup, "
    "and every result back to UTF-8. Output: the word, a TAB and one result per line, "
    "\"+?\" in place of a result when there is none, and a blank line after each word. "
    "Lines that are not UTF-8, hold a character that code page 1252 cannot hold, or are "
    "longer than 1 MiB are reported on stderr and get no result; the exit status is then "
    "1. A word with a \"[\" that opens no tag, in the modes that read tags, gets no "
    "result and a warning. Without -t the bundled English transducer is used.";

int LoadDictionary(const char* command, const std::string& path, VtmClientDict dict) {
  std::string error;
  if (LoadEntryFile(path, dict, &error)) return 0;
  std::fprintf(stderr, "vtm %s: %s\n", command, error.c_str());
  return 1;
}

int ForEachInput(const char* command, const std::vector<std::string>& inputs,
                 const std::function<int(int fd, const std::string& name)>& run) {
  std::vector<std::string> names = inputs;
  if (names.empty()) names.push_back("-");
  int status = kExitOk;
  for (const std::string& input : names) {
    const bool is_stdin = input == "-";
    const int fd = is_stdin ? 0 : ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "vtm %s: %s: %s\n", command, input.c_str(), std::strerror(errno));
      status = kExitFailure;
      continue;
    }
    if (run(fd, is_stdin ? "stdin" : input) != 0) status = kExitFailure;
    if (!is_stdin) ::close(fd);
  }
  return status;
}

void AddWordOptions(CLI::App* cmd, WordOptions* options) {
  cmd->add_option("-t,--transducer", options->transducer,
                  "Transducer file (default: the bundled English transducer)");
  cmd->add_option("-j,--threads", options->threads,
                  "Threads sharing the loaded transducer; output stays in input order")
      ->check(CLI::Range(1, 256));
  cmd->add_option_function<std::string>(
         "--format", [options](const std::string& f) { options->json = f == "json"; },
         "Output form: text (default; the form of flookup and hfst-lookup) or json (one "
         "object per word: {\"word\": ..., \"results\": [...]})")
      ->check(CLI::IsMember({"text", "json"}));
  cmd->add_option("--cache-entries", options->cache_entries,
                  "Distinct input lines whose output each thread keeps and gives again when the "
                  "line comes back (also at most 8 MiB of lines and output per thread; when "
                  "full, the memo starts afresh); the output is the same with or without it")
      ->capture_default_str();
  cmd->add_flag_callback(
      "--no-cache", [options] { options->cache_entries = 0; },
      "Look every line up again, even one seen before (same as --cache-entries 0)");
  cmd->add_option("FILE", options->inputs, "Input files (default: standard input; - too)");
}

int RunWordCommand(const char* command, const WordOptions& options, int mode) {
  std::string path = options.transducer;
  if (path.empty()) {
    path = FindDefaultTransducer();
    if (path.empty()) {
      std::fprintf(stderr, "vtm %s: no -t given and no bundled English transducer in:\n", command);
      for (const std::string& place : DefaultTransducerCandidates())
        std::fprintf(stderr, "  %s\n", place.c_str());
      std::fprintf(stderr, "(bash scripts/demo.sh compiles it)\n");
      return kExitFailure;
    }
  }
  vtm_init_library();
  VtmFsm fsm = vtm_make_fsm(path.c_str());
  int code = vtm_object_error_code(fsm);
  if (code < 0) {
    std::fprintf(stderr, "vtm %s: %s: %s\n", command, path.c_str(), LibraryMessage(code).c_str());
    return kExitFailure;
  }
  VtmClientDict dict = nullptr;
  int status = kExitOk;
  if (!options.dict.empty()) {
    dict = vtm_make_client_dict(0, 0);
    code = vtm_object_error_code(dict);
    if (code < 0) {
      std::fprintf(stderr, "vtm %s: %s\n", command, LibraryMessage(code).c_str());
      dict = nullptr;
      status = kExitFailure;
    } else {
      status = LoadDictionary(command, options.dict, dict);
    }
  }
  if (status == kExitOk) {
    WordTask task;
    task.command = command;
    task.fsm = fsm;
    task.dict = dict;
    task.mode = mode;
    task.json = options.json;
    task.threads = options.threads;
    task.cache_entries = options.cache_entries;
    task.cache_bytes = kCacheBytesPerThread;
    status = ForEachInput(command, options.inputs, [&task](int fd, const std::string& name) {
      return RunWordStream(task, fd, name);
    });
  }
  vtm_free_client_dict(dict);
  vtm_free_fsm(fsm);
  return status;
}

}  // namespace vtm::cli
