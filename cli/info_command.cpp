// `vtm info FILE`: what the library's queries report about a transducer file, and
// statistics of its network.
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "fst/fsm.h"
#include "library_message.h"
#include "network_stats.h"
#include "subcommands.h"
#include "vtmrt.h"

namespace vtm::cli {
namespace {

int RunInfo(const std::string& path) {
  int error = 0;
  VtmFsmRec* fsm = vtm::LoadFsm(path.c_str(), &error);
  if (!fsm) {
    std::fprintf(stderr, "vtm info: %s: %s\n", path.c_str(), LibraryMessage(error).c_str());
    return kExitFailure;
  }
  std::unique_ptr<VtmFsmRec, void (*)(VtmFsmRec*)> owner(fsm, vtm::FreeFsm);
  char text[1024];
  std::printf("file: %s\n", path.c_str());
  if (vtm_fsm_copyright(text, sizeof text, fsm) == 0) std::printf("copyright: %s\n", text);
  if (vtm_fsm_version(text, sizeof text, fsm) == 0) std::printf("version: %s\n", text);
  std::time_t date = vtm_fsm_creation_date(fsm);
  char when[64] = "?";
  if (std::tm* tm = std::gmtime(&date))
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", tm);
  std::printf("creation date: %u (%s)\n", vtm_fsm_creation_date(fsm), when);
  std::printf("language: %d\n", vtm_fsm_language(fsm));
  std::printf("character encoding: %d\n", vtm_fsm_char_encoding(fsm));
  std::printf("capabilities: 0x%03X\n", vtm_fsm_capabilities(fsm));
  std::printf("functions:");
  for (int f = 1; f <= 255; ++f) {
    int s = vtm::FsmFunctionSubnet(fsm, f);
    if (s != vtm::kNoSubnet) std::printf(" %d->%d", f, s);
  }
  std::printf("\n");
  int chars = 0;
  for (int b = fsm->char_first; b <= fsm->char_last; ++b) {
    int i = b - fsm->char_first;
    bool wide = fsm->header.net_flags & vtm::kNetWideCharMap;
    chars += (wide ? vtm::Be16(fsm->char_codes + 2 * i) : fsm->char_codes[i]) != 0;
  }
  vtm::NamedTable tagmode;
  uint32_t tags =
      vtm::FsmFindNamedTable(fsm, vtm::kTagModeTable, &tagmode) ? tagmode.keys.count : 0;
  std::printf("characters: %d\n", chars);
  std::printf("tags: %u\n", tags);
  std::printf("network bytes: %u\n", fsm->header.network_size);
  std::printf("table area bytes: %u\n", fsm->table_size);
  int status = kExitOk;
  for (int s = 0; s < fsm->header.subnet_count; ++s) {
    compiler::NetworkStats stats = compiler::CountNetwork(*fsm, s);
    std::printf("subnet %d: %zu states, %zu arcs, %zu tables%s%s\n", s, stats.states, stats.arcs,
                stats.tables, stats.complete ? "" : ", incomplete: ", stats.problem.c_str());
    if (!stats.complete) status = kExitFailure;
  }
  return status;
}

}  // namespace

void AddInfoCommand(CLI::App& app, int* status) {
  auto path = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand(
      "info", "Print what a transducer file's queries return and its network statistics");
  cmd->add_option("FILE", *path, "Transducer file")->required();
  cmd->callback([path, status] { *status = RunInfo(*path); });
}

}  // namespace vtm::cli
