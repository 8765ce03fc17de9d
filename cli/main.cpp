// `vtm`: the command line of the vtmrt library and its transducer compiler.
#include <cstdio>
#include <string>

#include "subcommands.h"
#include "vtmrt.h"

namespace {

constexpr vtm::cli::AddSubcommand kSubcommands[] = {
    vtm::cli::AddBuildCommand,    vtm::cli::AddInfoCommand,     vtm::cli::AddLookupCommand,
    vtm::cli::AddGenerateCommand, vtm::cli::AddCompleteCommand, vtm::cli::AddGroupCommand,
    vtm::cli::AddTokenizeCommand, vtm::cli::AddTrainCommand,    vtm::cli::AddTagCommand,
    vtm::cli::AddChunkCommand,
};

std::string LibraryVersion() {
  char buffer[64] = {0};
  vtm_library_version(buffer, sizeof buffer);
  return buffer;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "vtm: look words up, generate word forms, build and inspect lexical transducer files"};
  app.set_version_flag("--version", "vtm " + LibraryVersion(), "Print the library version");
  app.require_subcommand(1);
  int status = vtm::cli::kExitOk;
  for (auto add : kSubcommands) add(app, &status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? vtm::cli::kExitOk : vtm::cli::kExitUsage;
  }
  return status;
}
