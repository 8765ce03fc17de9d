// Sentence tagging throughput of the library alone (vtm_tag_sentence on pre-split
// tokens, one thread) with the bundled English tagger on the Brown test split. Files:
// VTM_TAGGER_DIR (default <bench dir>/../share/vtmrt) holds english-tagger.vtm and
// english-tagger.model; VTM_TAG_BENCH_TEXT (default <bench dir>/../../tag-english/test.txt,
// which scripts/test.d/tag_english.sh writes) one sentence per line, tokens split by spaces.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tagger/tagger.h"
#include "vtmrt.h"

namespace {

struct Corpus {
  VtmFsm fsm = nullptr;
  VtmTagger tagger = nullptr;
  std::vector<std::string> sentences;  // tokens as consecutive NUL-terminated strings
  std::vector<int> counts;
  std::size_t tokens = 0;
  std::string problem;

  Corpus() {
    namespace fs = std::filesystem;
    const fs::path exe = fs::read_symlink("/proc/self/exe").parent_path();
    const char* dir = std::getenv("VTM_TAGGER_DIR");
    const fs::path data = dir != nullptr ? fs::path(dir) : exe / ".." / "share" / "vtmrt";
    const char* text = std::getenv("VTM_TAG_BENCH_TEXT");
    const fs::path input =
        text != nullptr ? fs::path(text) : exe / ".." / ".." / "tag-english" / "test.txt";
    fsm = vtm_make_fsm((data / "english-tagger.vtm").c_str());
    if (vtm_object_error_code(fsm) != 0) {
      problem = "no English tagger in " + data.string();
      return;
    }
    tagger = vtm_make_tagger((data / "english-tagger.model").c_str(), fsm);
    if (vtm_object_error_code(tagger) != 0) {
      problem = "cannot load the English tagger's model";
      return;
    }
    std::ifstream in(input);
    std::string line;
    while (std::getline(in, line)) {
      int count = 1;
      for (char& c : line) {
        if (c == ' ') c = '\0', ++count;
      }
      line.push_back('\0');
      sentences.push_back(line);
      counts.push_back(count);
      tokens += static_cast<std::size_t>(count);
    }
    if (sentences.empty()) problem = "no sentences in " + input.string();
  }
};

const Corpus& TheCorpus() {
  static const Corpus corpus;
  return corpus;
}

void BM_TagSentences(benchmark::State& state) {
  const Corpus& c = TheCorpus();
  if (!c.problem.empty()) {
    state.SkipWithError(c.problem.c_str());
    return;
  }
  const int flags = static_cast<int>(state.range(0));
  VtmTaggerBuffer buffer = vtmMakeTaggerBuffer(1000, 20000, c.tagger);
  std::vector<char> out(65536);
  std::size_t tokens = 0;
  for (auto _ : state) {
    for (std::size_t k = 0; k < c.sentences.size(); ++k) {
      const int r = vtm_tag_sentence(c.sentences[k].data(), c.counts[k], out.data(),
                                     static_cast<int>(out.size()), flags, c.tagger, buffer,
                                     flags == 7 ? buffer->title_dict : nullptr, 0);
      benchmark::DoNotOptimize(r);
    }
    tokens += c.tokens;
  }
  state.counters["tokens/s"] =
      benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
  vtmFreeTaggerBuffer(buffer);
}
// Flags 7 (--case auto, with the title-case dictionary) and 1 (exact case).
BENCHMARK(BM_TagSentences)->Arg(7)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
