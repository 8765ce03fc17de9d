// `vtm lookup`: analysis and stemming of one word per line.
#include <cstdio>
#include <map>
#include <memory>

#include "subcommands.h"
#include "vtmrt.h"
#include "word_command.h"

namespace vtm::cli {
namespace {

struct LookupArgs {
  WordOptions words;
  std::string mode = "analyze";
};

// Command-line mode names and the library's lookup modes they stand for.
const std::map<std::string, int> kModes = {
    {"analyze", VTM_MODE_ANALYZE},
    {"stem", VTM_MODE_STEM},
    {"first", VTM_MODE_STEM_FIRST},
    {"shortest", VTM_MODE_STEM_SHORTEST},
};

}  // namespace

void AddLookupCommand(CLI::App& app, int* status) {
  auto args = std::make_shared<LookupArgs>();
  CLI::App* cmd = app.add_subcommand(
      "lookup", std::string("Look words up: analysis (lemma and tags) or stems.\n") + kWordIoHelp);
  AddWordOptions(cmd, &args->words);
  cmd->add_option("-m,--mode", args->mode,
                  "analyze: every analysis; stem: every stem (lemma); first: the first stem "
                  "found; shortest: the shortest stem")
      ->check(CLI::IsMember({"analyze", "stem", "first", "shortest"}));
  cmd->add_option("--dict", args->words.dict,
                  "Client dictionary entry file (UTF-8), consulted before the transducer in "
                  "the analyze and stem modes: a word found there gets the entries' values");
  cmd->callback([args, status] {
    int mode = kModes.at(args->mode);
    if (!args->words.dict.empty() && mode != VTM_MODE_ANALYZE && mode != VTM_MODE_STEM) {
      std::fprintf(stderr, "vtm lookup: --dict is consulted in the analyze and stem modes only\n");
      *status = kExitUsage;
      return;
    }
    *status = RunWordCommand("lookup", args->words, mode);
  });
}

}  // namespace vtm::cli
