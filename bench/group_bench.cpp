// Grouping throughput of the library alone (vtm_group, tokens per second) with the
// English grammar compiled in-process over the Brown tag set: sentences of 20 tokens
// drawn from a fixed mix of common Brown tags; the sentence pass alone and with the
// np sub-pass.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/chunk_fst.h"
#include "compiler/transducer_builder.h"
#include "vtmrt.h"

#ifndef VTM_SOURCE_DIR
#define VTM_SOURCE_DIR "."
#endif

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

struct English {
  VtmFsm fsm = nullptr;
  VtmGrouper grouper = nullptr;
  std::string tags;  // all sentences, consecutive zero-terminated tags
  std::vector<std::size_t> starts;
  static constexpr int kLength = 20;

  English() {
    namespace c = vtm::compiler;
    const std::string dir = std::string(VTM_SOURCE_DIR) + "/data/en/";
    std::vector<std::string> tag_list;
    std::istringstream in(Slurp(dir + "brown.tags"));
    for (std::string t; std::getline(in, t);)
      if (!t.empty()) tag_list.push_back(t);
    c::BuildOptions options;
    std::string error;
    for (auto [function, file] : {std::pair{62, "chunks.grammar"}, {63, "np-inner.grammar"}}) {
      std::vector<c::ChunkStage> stages;
      auto att = std::make_shared<c::AttTransducer>();
      if (!c::ParseChunkGrammar(Slurp(dir + file), &stages, &error) ||
          !c::ChunkGrammarTransducer(stages, tag_list, att.get(), &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
      }
      options.inputs.push_back({function, file, att});
    }
    c::TransducerSpec spec;
    c::BuildReport report;
    const std::string path = "/tmp/vtm_group_bench_" + std::to_string(getpid()) + ".vtm";
    if (!c::BuildTransducer(options, &spec, &report, &error) ||
        !c::WriteTransducerFile(path, spec, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    fsm = vtm_make_fsm(path.c_str());
    std::remove(path.c_str());
    grouper = vtm_make_grouper(fsm);
    // A mix of frequent Brown tags.
    const char* mix[] = {"at", "nn", "in",  "jj", "nns", ",",  ".",    "vbd", "np", "cc",
                         "rb", "vb", "pps", "md", "be",  "cd", "ppss", "vbn", "to", "dt"};
    std::mt19937 rng(11);
    for (int s = 0; s < 1000; ++s) {
      starts.push_back(tags.size());
      for (int i = 0; i < kLength; ++i) {
        tags += mix[rng() % (sizeof mix / sizeof mix[0])];
        tags.push_back('\0');
      }
      tags.push_back('\0');
    }
  }
};

const English& TheEnglish() {
  static English e;
  return e;
}

void BM_Group(benchmark::State& state) {
  const English& e = TheEnglish();
  const int flags = static_cast<int>(state.range(0));
  VtmGroup records[256];
  char names[4096];
  std::size_t k = 0;
  int64_t groups = 0;
  for (auto _ : state) {
    const int n = vtm_group(e.tags.data() + e.starts[k], English::kLength, flags, records, 256,
                            names, sizeof names, e.grouper);
    if (n < 0) state.SkipWithError("vtm_group failed");
    groups += n;
    k = (k + 1) % e.starts.size();
  }
  state.SetItemsProcessed(state.iterations() * English::kLength);
  state.counters["groups_per_sentence"] =
      static_cast<double>(groups) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Group)->Arg(0)->Arg(VTM_GROUP_SUBGROUPS | VTM_GROUP_SORT);

}  // namespace
