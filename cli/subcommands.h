// Registration of the `vtm` subcommands. Each subcommand lives in its own source file
// and adds itself to the application; to add one, declare its Add function here and
// list it in kSubcommands (main.cpp).
#pragma once

#include <CLI/CLI.hpp>

namespace vtm::cli {

// Exit statuses of every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Adds a subcommand to `app`; when the subcommand runs, it stores its exit status in
// *status.
using AddSubcommand = void (*)(CLI::App& app, int* status);

void AddBuildCommand(CLI::App& app, int* status);
void AddInfoCommand(CLI::App& app, int* status);
void AddLookupCommand(CLI::App& app, int* status);
void AddGenerateCommand(CLI::App& app, int* status);
void AddCompleteCommand(CLI::App& app, int* status);
void AddGroupCommand(CLI::App& app, int* status);
void AddTokenizeCommand(CLI::App& app, int* status);
void AddTrainCommand(CLI::App& app, int* status);
void AddTagCommand(CLI::App& app, int* status);
void AddChunkCommand(CLI::App& app, int* status);

}  // namespace vtm::cli
