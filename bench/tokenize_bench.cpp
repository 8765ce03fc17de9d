// Tokenizer throughput, library alone (vtm_tokenize_bench, linked with the shared library
// that users link): vtm_tokenize over a real English text in memory, in 64 KiB pieces
// under the calling protocol (unconsumed bytes carried over), with the bundled en-brown
// or en-ptb transducer. The text is VTM_TOKENIZE_TEXT (default: the 10 MB text
// of the peers' make_data.sh, /tmp/vtm-peers/data/text10mb.txt); the transducers are
// looked for in share/vtmrt beside the build's bin folders. First argument: 0 en-brown,
// 1 en-ptb. Second argument: 0 one tokenizer for every pass, so that its cache of chunk
// outputs is warm from the second pass on (a tokenizer that has seen much text before);
// 1 a new tokenizer for each pass, so that each pass is a first reading of the text, as
// in one run of `vtm tokenize` (the figure to quote for one text).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vtmrt.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  if (in) s << in.rdbuf();
  return s.str();
}

std::string SharePath(const char* name) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return (exe.parent_path().parent_path() / "share/vtmrt" / name).string();
}

void BM_Tokenize(benchmark::State& state) {
  const char* text_env = std::getenv("VTM_TOKENIZE_TEXT");
  static const std::string text =
      ReadFile(text_env != nullptr ? text_env : "/tmp/vtm-peers/data/text10mb.txt");
  if (text.empty()) {
    state.SkipWithError("no text: set VTM_TOKENIZE_TEXT or run the peers' make_data.sh");
    return;
  }
  const std::string path = SharePath(state.range(0) == 0 ? "en-brown.vtm" : "en-ptb.vtm");
  const bool fresh = state.range(1) == 1;
  VtmFsm fsm = vtm_make_fsm(path.c_str());
  VtmTokenizer tk = vtm_make_tokenizer(fsm, 0, nullptr);
  if (vtm_object_error_code(tk) != 0) {
    state.SkipWithError(("cannot load " + path).c_str());
    vtm_free_fsm(fsm);
    return;
  }
  std::vector<VtmToken> tokens(32768);
  std::vector<char> strings(1 << 16);
  int64_t count_total = 0;
  for (auto _ : state) {
    if (fresh) {
      vtm_free_tokenizer(tk);
      tk = vtm_make_tokenizer(fsm, 0, nullptr);
    }
    // Each call is given the text from its first unconsumed byte to 64 KiB past the end
    // of the previous call's piece: the unconsumed bytes carried over, read in place.
    std::size_t start = 0, end = 0, carried = 0;
    while (end < text.size() || start < end) {
      end = std::min<std::size_t>(end + 65536, text.size());
      const bool final = end == text.size();
      int count = 0;
      const int rc = vtm_tokenize(text.data() + start, static_cast<int>(end - start), tk,
                                  final ? VTM_TOKENIZE_FINAL : 0, tokens.data(),
                                  static_cast<int>(tokens.size()), strings.data(),
                                  static_cast<int>(strings.size()), &count);
      if (rc < 0) {
        state.SkipWithError("tokenize failed");
        break;
      }
      count_total += count;
      start += static_cast<std::size_t>(rc);
      if (final && rc == 0 && count == 0) break;
      carried += end - start;
    }
    benchmark::DoNotOptimize(carried);
  }
  // Decimal megabytes (10^6 bytes) per second of CPU time, the unit of every other figure
  // in bench/README.md; SetBytesProcessed would print binary ones (2^20 bytes), 4.9 % less.
  state.counters["bytes_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(text.size()),
                         benchmark::Counter::kIsRate, benchmark::Counter::kIs1000);
  state.counters["tokens"] =
      static_cast<double>(count_total) / static_cast<double>(state.iterations());
  vtm_free_tokenizer(tk);
  vtm_free_fsm(fsm);
}
BENCHMARK(BM_Tokenize)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace
