// Seeds of the tagger fuzz targets: a class transducer (lexicon with multi-word entries,
// suffix guesser) and a model for it made with the compiler's writers, a corpus of model
// files (the good one and damaged variants) and a corpus of sentences.
// Usage: fuzz_tagger_seeds OUT_DIR  (writes class.vtm, good.model, models/, sentences/)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "compiler/att_reader.h"
#include "compiler/class_transducer.h"
#include "compiler/file_writer.h"
#include "compiler/tagger_model.h"
#include "compiler/transducer_builder.h"

namespace c = vtm::compiler;

static void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string out = argv[1];
  std::filesystem::create_directories(out + "/models");
  std::filesystem::create_directories(out + "/sentences");
  c::ClassEntries lexicon = {{"the", {"DT"}},           {"dog", {"NN", "VB"}},
                             {"Dog", {"NP"}},           {"in", {"IN", "__mwt"}},
                             {"in spite", {"__mwt"}},   {"in spite of", {"IN"}},
                             {"barks", {"VBZ", "NNS"}}, {"run", {"VB", "NN", "#0"}}};
  c::GuesserRules rules;
  rules.alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ'-.";
  rules.lower = {{"", {"NN", "JJ"}}, {"s", {"NNS", "VBZ", "#1"}}, {"ly", {"RB"}}};
  rules.capital = {{"", {"NP"}}};
  std::string error;
  auto lex = std::make_shared<c::AttTransducer>();
  auto guess = std::make_shared<c::AttTransducer>();
  if (!c::ReadAtt(c::ClassLexiconAtt(lexicon), 0, lex.get(), &error) ||
      !c::ReadAtt(c::SuffixGuesserAtt(rules), 0, guess.get(), &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  c::BuildOptions b;
  b.inputs = {{vtm::kFunctionClassLexicon, "lexicon", lex},
              {vtm::kFunctionClassGuesser, "guesser", guess}};
  b.version = "1.0";
  c::TransducerSpec spec;
  c::BuildReport report;
  if (!c::BuildTransducer(b, &spec, &report, &error) ||
      !c::WriteTransducerFile(out + "/class.vtm", spec, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::vector<std::string> tags = {"NN", "VB", "NP", "IN", "DT", "VBZ", "NNS", "JJ", "RB"};
  const std::vector<std::string> classes = {"[NN][JJ]",     "[NN][VB]",       "[NP]",
                                            "[IN]",         "[DT]",           "[VBZ][NNS]",
                                            "[VB][NN][#0]", "[NNS][VBZ][#1]", "[RB]"};
  const std::vector<std::vector<uint32_t>> members = {{0, 7}, {0, 1}, {2},    {3}, {4},
                                                      {5, 6}, {0, 1}, {5, 6}, {8}};
  std::mt19937 rng(7);
  for (int k = 0; k < 8; ++k) {
    c::TaggerModel m;
    m.version = "1.0";
    m.tag_names = tags;
    m.class_strings = classes;
    for (std::size_t t = 0; t < tags.size(); ++t) {
      m.initial.push_back(-1 - static_cast<int32_t>(rng() % 5000));
      m.transitions.emplace_back(rng() % (tags.size() + 1));
      for (auto& s : m.transitions.back())
        s = k == 7 ? INT32_MIN : -1 - static_cast<int32_t>(rng() % 5000);
    }
    for (const auto& list : members) {
      m.emissions.emplace_back();
      for (uint32_t t : list)
        m.emissions.back().push_back({t, -1 - static_cast<int32_t>(rng() % 900)});
    }
    std::vector<uint8_t> bytes;
    if (!c::WriteTaggerModel(m, &bytes, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    const std::string text(bytes.begin(), bytes.end());
    if (k == 0) Write(out + "/good.model", text);
    Write(out + "/models/model" + std::to_string(k), text);
    Write(out + "/models/cut" + std::to_string(k), text.substr(0, rng() % text.size()));
  }
  // Sentence inputs: flags, max tokens, max chars, output size, then tokens by '\n'.
  const char* sentences[] = {"the\ndog\nbarks",
                             "The\nDog\nRuns\nIn\nThe\nPark",
                             "in\n \nspite\n \nof",
                             "NATO\n``\n'\nDog\nquickly",
                             "",
                             "\n\n\n",
                             "U.S.\n--\nA"};
  int n = 0;
  for (const char* s : sentences) {
    for (uint8_t flags : {1, 7, 15, 2, 12}) {
      std::string input = {static_cast<char>(flags), 40, 100, 120};
      input += s;
      Write(out + "/sentences/s" + std::to_string(n++), input);
    }
  }
  return 0;
}
