// Lookup throughput on a lexicon transducer of 50,000 generated words, made with the file
// writer (argument 0) or compiled from AT&T text (argument 1): whole lookups through
// vtmLookupByteString (coding, walk, decoding), and the lookup walk alone on coded
// words; one thread and two threads sharing one VtmFsm.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lexicon_net.h"
#include "lookup/coding.h"
#include "lookup/walk.h"
#include "vtmrt.h"

namespace {

struct Lexicon {
  VtmFsm fsm = nullptr;
  std::vector<std::string> queries;  // nine known words to one unknown
  std::size_t network_bytes = 0;

  // Made with the file writer (compiled = false) or by the compiler from AT&T text.
  explicit Lexicon(bool compiled) {
    const std::vector<std::string> words = vtm::bench::LexiconWords(50000);
    const std::string path = "/tmp/vtm_lookup_bench_" + std::to_string(getpid()) + ".fst";
    network_bytes = compiled ? vtm::bench::CompileLexicon(vtm::bench::LexiconAtt(words), path)
                             : vtm::bench::WriteLexicon(words, path);
    fsm = vtm_make_fsm(path.c_str());
    std::remove(path.c_str());
    for (std::size_t k = 0; k < 10000; ++k) {
      std::string w = words[(k * 7919) % words.size()];
      if (k % 10 == 9) w += "q";  // not in the lexicon
      queries.push_back(w);
    }
  }
};

const Lexicon& TheLexicon(bool compiled) {
  static const Lexicon written(false);
  if (!compiled) return written;
  static const Lexicon built(true);
  return built;
}

// Argument: 0 for the writer-made lexicon, 1 for the compiled one.
void BM_LookupByteString(benchmark::State& state) {
  const Lexicon& lex = TheLexicon(state.range(0) != 0);
  if (vtm_object_error_code(lex.fsm) != 0) {
    state.SkipWithError("lexicon did not load");
    return;
  }
  char out[256];
  std::size_t k = static_cast<std::size_t>(state.thread_index()) * 977;
  int64_t found = 0;
  for (auto _ : state) {
    const std::string& w = lex.queries[k++ % lex.queries.size()];
    found += vtmLookupByteString(w.c_str(), out, sizeof out, VTM_MODE_STEM, lex.fsm);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["found"] =
      benchmark::Counter(static_cast<double>(found) / static_cast<double>(state.iterations()),
                         benchmark::Counter::kAvgThreads);
  state.counters["net_bytes"] =
      benchmark::Counter(static_cast<double>(lex.network_bytes), benchmark::Counter::kAvgThreads);
}
BENCHMARK(BM_LookupByteString)->Arg(0)->Arg(1)->Threads(1)->Threads(2)->UseRealTime();

void BM_LookupWalkOnly(benchmark::State& state) {
  const Lexicon& lex = TheLexicon(state.range(0) != 0);
  if (vtm_object_error_code(lex.fsm) != 0) {
    state.SkipWithError("lexicon did not load");
    return;
  }
  std::vector<std::vector<uint8_t>> coded;
  for (const std::string& w : lex.queries) {
    std::vector<uint8_t> c(64);
    vtm::CoderOptions options;
    options.eos = true;
    const int m = vtm::EncodeText(w.c_str(), vtm::kNulTerminated, c.data(), 64, options, lex.fsm);
    c.resize(static_cast<std::size_t>(m < 0 ? 0 : m) + 1);
    coded.push_back(c);
  }
  uint8_t work[256];
  VtmBacktrackEntry stack[100];
  char out[256];
  vtm::WalkArgs args;
  args.work = work;
  args.work_size = sizeof work;
  args.stack = stack;
  args.stack_entries = 100;
  args.client = out;
  args.client_size = sizeof out;
  args.output_mode = vtm::kOutAll;
  args.subnet = vtm::FsmFunctionSubnet(lex.fsm, 27);
  std::size_t k = static_cast<std::size_t>(state.thread_index()) * 977;
  for (auto _ : state) {
    args.input = coded[k++ % coded.size()].data();
    benchmark::DoNotOptimize(vtm::LookupWalk(lex.fsm, args));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupWalkOnly)->Arg(0)->Arg(1)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace
