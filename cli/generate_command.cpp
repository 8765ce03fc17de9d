// `vtm generate`: word forms from analyses (the inverse walk), one analysis per line.
#include <memory>

#include "subcommands.h"
#include "vtmrt.h"
#include "word_command.h"

namespace vtm::cli {

void AddGenerateCommand(CLI::App& app, int* status) {
  auto args = std::make_shared<WordOptions>();
  CLI::App* cmd = app.add_subcommand(
      "generate", std::string("Generate word forms from analyses such as house[n][pl] "
                              "(lemma, then tags in square brackets).\n") +
                      kWordIoHelp);
  AddWordOptions(cmd, args.get());
  // Generation: function 23 of the transducer, or analysis run backwards without it.
  cmd->callback([args, status] { *status = RunWordCommand("generate", *args, VTM_MODE_GENERATE); });
}

}  // namespace vtm::cli
