// Completion speed on the bundled English transducer (function 1, the lexicon's surface
// side): every completion of 1-, 2- and 3-letter prefixes, paging through a 4 KiB output
// buffer with the continuation. Reports completions per second (items). The transducer
// is taken from $VTM_ENGLISH, else from ../share/vtmrt/english.vtm beside this program
// (where the build puts it); without it the benchmarks are skipped with a message.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "vtmrt.h"

namespace {

std::string EnglishPath() {
  if (const char* env = std::getenv("VTM_ENGLISH")) return env;
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  std::string dir(self, static_cast<std::size_t>(n));
  dir.erase(dir.rfind('/'));
  return dir + "/../share/vtmrt/english.vtm";
}

// Beginnings of common English words; a benchmark uses their first 1, 2 or 3 letters.
const std::vector<std::string> kStems = {"the", "con", "pre", "str", "com", "int", "tra",
                                         "hou", "sta", "wor", "bea", "mar", "pla", "gro"};

void BM_CompletePrefix(benchmark::State& state) {
  static VtmFsm fsm = vtmOpenLexicalTransducer(EnglishPath().c_str());
  if (vtm_object_error_code(fsm) != 0) {
    state.SkipWithError("no English transducer (build english_data or set VTM_ENGLISH)");
    return;
  }
  const std::size_t letters = static_cast<std::size_t>(state.range(0));
  std::vector<std::string> prefixes;
  for (const std::string& stem : kStems) prefixes.push_back(stem.substr(0, letters));
  VtmLookupBuffer buffer = vtmMakeLookupBuffer(256, 256, 1024, 0, 0, 0);
  char page[4096];
  int64_t completions = 0;
  for (auto _ : state) {
    for (const std::string& prefix : prefixes) {
      int r = vtmExpandByteStringPartialWord(prefix.c_str(), page, sizeof page, buffer, 0, 0, 64, 0,
                                             0, fsm);
      completions += vtmLookupBufferResultCount(buffer);
      while (r == VTM_ERR_MORE_RESULTS) {
        r = vtmExpandByteStringPartialWord(nullptr, page, sizeof page, buffer, 0, 0, 64, 1, 0, fsm);
        completions += vtmLookupBufferResultCount(buffer);
      }
      if (r < 0) {
        state.SkipWithError("expansion failed");
        break;
      }
      benchmark::DoNotOptimize(page[0]);
    }
  }
  vtmFreeLookupBuffer(buffer);
  state.SetItemsProcessed(completions);
  state.counters["per_prefix"] =
      benchmark::Counter(static_cast<double>(completions) / static_cast<double>(prefixes.size()),
                         benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CompletePrefix)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
