// Differential tests of the compiler with the lookup engine: random transducers are
// compiled, and every lookup and inverse lookup result set equals the reference
// interpreter's over the AT&T graph.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "compiler/att_reader.h"
#include "compiler/file_writer.h"
#include "compiler/transducer_builder.h"
#include "support/att_reference.h"
#include "support/compiled_att.h"
#include "vtmrt.h"

namespace vtm::compiler {
namespace {

constexpr int kAnalysisMode = VTM_MODE_ANALYZE, kGenerationMode = VTM_MODE_GENERATE;

std::set<std::string> Lookup(VtmFsm fsm, const std::string& text, int mode) {
  int rc = 0;
  std::set<std::string> results = test::LookupSet(fsm, text, mode, &rc);
  EXPECT_GE(rc, 0) << "lookup of '" << text << "' failed";
  return results;
}

// Compares lookups and inverse lookups on sampled texts and random strings; returns the
// number of cases compared.
int Compare(const std::string& att, const std::string& name, std::mt19937& rng, int label_base = 0,
            int table_arcs = 12, std::size_t max_text = 10) {
  test::AttReference ref(test::kRandomAttLimits);
  std::string error;
  EXPECT_TRUE(ref.Parse(att, 0, &error)) << error;
  test::FsmPtr fsm =
      test::CompileAtt(att, name + ".vtm", {kFunctionAnalysis, label_base, table_arcs});
  if (fsm == nullptr) return 0;
  int compared = 0;
  for (bool inverse : {false, true}) {
    // Short texts: the walk enumerates paths one by one, so long inputs on ambiguous
    // cyclic transducers take exponential time in any implementation.
    std::vector<std::string> texts;
    for (const std::string& t : ref.SampleTexts(rng, 30, inverse))
      if (t.size() <= max_text) texts.push_back(t);
    texts.push_back("");
    for (int i = 0; i < 10; ++i) texts.push_back(texts[rng() % texts.size()] + "a");
    for (const std::string& text : texts) {
      auto expected = inverse ? ref.Inverse(text) : ref.Lookup(text);
      if (ref.last_incomplete() || expected.size() > 300) continue;
      auto got = Lookup(fsm.get(), text, inverse ? kGenerationMode : kAnalysisMode);
      ++compared;
      EXPECT_EQ(got, expected) << (inverse ? "inverse of '" : "lookup of '") << text << "' in\n"
                               << att;
      if (got != expected) return compared;
    }
  }
  return compared;
}

TEST(CompilerDifferential, SmallAcyclicTransducersWithEpsilonsAndNonIdentityPairs) {
  std::mt19937 rng(1);
  int compared = 0;
  for (int seed = 0; seed < 150; ++seed) {
    test::RandomAttOptions o;
    o.states = 2 + seed % 9;
    o.arcs = 2 + seed % 23;
    o.tags = {"<n>", "<pl>", "+V"};
    compared += Compare(test::RandomAtt(o, rng), "acyclic" + std::to_string(seed), rng);
    if (HasFatalFailure() || HasFailure()) return;
  }
  EXPECT_EQ(compared, 11071);  // fixed by the seed
}

TEST(CompilerDifferential, CyclicTransducersWithFlagsStillTerminate) {
  std::mt19937 rng(2);
  int compared = 0;
  for (int seed = 0; seed < 80; ++seed) {
    test::RandomAttOptions o;
    o.states = 2 + seed % 7;
    o.arcs = 4 + seed % 20;
    o.cyclic = true;
    o.flag = 0.25;
    o.flag_features = 3;
    o.flag_values = 3;
    compared += Compare(test::RandomAtt(o, rng), "cyclic" + std::to_string(seed), rng, 0, 12, 7);
    if (HasFailure()) return;
  }
  EXPECT_EQ(compared, 5833);  // fixed by the seed
}

TEST(CompilerDifferential, ManySymbolsNeedEscapesAndWideStatesUseTables) {
  std::mt19937 rng(3);
  test::RandomAttOptions o;
  for (const char* c :
       {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r",
        "s", "t", "u", "v", "w", "x", "y", "z", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J",
        "K", "L", "M", "N", "O", "P", "é", "ü", "ß", "€", "œ", "Ž", "1", "2", "3", "-", "'"})
    o.chars.push_back(c);
  for (int t = 0; t < 40; ++t) o.tags.push_back("<t" + std::to_string(t) + ">");
  int compared = 0;
  for (int seed = 0; seed < 40; ++seed) {
    o.states = 5 + seed % 15;
    o.arcs = 20 + seed * 3;
    o.wide_states = 1 + seed % 3;
    o.cyclic = seed % 2;
    o.flag = seed % 3 == 0 ? 0.1 : 0;
    // Label bases 128 and 200 force escapes (200: more than 3 per character, so the char
    // map is 16-bit); a low table threshold forces tables.
    int label_base = seed % 4 == 0 ? 16 : seed % 4 == 1 ? 128 : seed % 4 == 2 ? 200 : 0;
    compared += Compare(test::RandomAtt(o, rng), "wide" + std::to_string(seed), rng, label_base,
                        seed % 2 ? 3 : 12);
    if (HasFailure()) return;
  }
  EXPECT_EQ(compared, 2710);  // fixed by the seed
}

}  // namespace
}  // namespace vtm::compiler

namespace vtm::compiler {
namespace {

// Builds several functions into one file and loads it.
VtmFsm CompileFunctions(const std::vector<std::pair<int, std::string>>& functions,
                        const std::string& name) {
  BuildOptions options;
  for (auto& [f, text] : functions) {
    auto t = std::make_shared<AttTransducer>();
    std::string error;
    EXPECT_TRUE(ReadAtt(text, 0, t.get(), &error)) << error;
    options.inputs.push_back({f, name, t});
  }
  TransducerSpec spec;
  BuildReport report;
  std::string error;
  EXPECT_TRUE(BuildTransducer(options, &spec, &report, &error)) << error;
  std::string path = std::string(VTM_TEST_TMPDIR) + "/" + name + ".vtm";
  EXPECT_TRUE(WriteTransducerFile(path, spec, &error)) << error;
  return vtm_make_fsm(path.c_str());
}

using Set = std::set<std::string>;

TEST(CompilerLookup, EndOfWordSymbolsMatchTheCodersEndCode) {
  // Lookup appends the end-of-word code when the transducer has one; the lexicon's paths
  // end with EOS, and the decoder turns it into a separator.
  VtmFsm fsm = CompileFunctions({{12, "0\t1\ta\ta\n1\t2\tEOS\tEOS\n2\n0\t3\tb\tb\n3\n"}}, "eos");
  EXPECT_EQ(Lookup(fsm, "a", kAnalysisMode), Set{"a"});
  EXPECT_EQ(Lookup(fsm, "b", kAnalysisMode), Set{});  // no EOS on this path
  vtm_free_fsm(fsm);
}

TEST(CompilerLookup, TagRunsOpenAndCloseOnEachSideAsTheCoderWritesThem) {
  // Tags on the input side (generation direction), between characters, and adjacent.
  const char* att = "0\t1\tx\tx\n1\t2\t<a>\t<a>\n2\t3\t<b>\ty\n3\t4\tz\t<c>\n4\t5\tw\tw\n5\n";
  VtmFsm fsm = CompileFunctions({{12, att}}, "runs");
  EXPECT_EQ(Lookup(fsm, "x[a][b]zw", kAnalysisMode), Set{"x[a]y[c]w"});
  EXPECT_EQ(Lookup(fsm, "x[a]y[c]w", kGenerationMode), Set{"x[a][b]zw"});
  vtm_free_fsm(fsm);
}

TEST(CompilerLookup, ExplicitTagSeparatorsAreKeptAsWritten) {
  // With *TAGSEP* in the text the compiler inserts no separators of its own.
  VtmFsm fsm = CompileFunctions(
      {{12, "0\t1\tc\tc\n1\t2\t@0@\t*TAGSEP*\n2\t3\t@0@\t<n>\n3\t4\t@0@\t*TAGSEP*\n4\n"}},
      "tagsep");
  EXPECT_EQ(Lookup(fsm, "c", kAnalysisMode), Set{"c[n]"});
  vtm_free_fsm(fsm);
}

TEST(CompilerLookup, FunctionsFromDifferentFilesShareOneAlphabet) {
  VtmFsm fsm = CompileFunctions(
      {{12, "0\t1\ta\tb\n1\n"}, {23, "0\t1\tc\td\n1\t2\t@0@\t<t>\n2\n"}, {27, "0\t1\té\te\n1\n"}},
      "functions");
  EXPECT_EQ(Lookup(fsm, "a", kAnalysisMode), Set{"b"});
  EXPECT_EQ(Lookup(fsm, "d[t]", kGenerationMode), Set{"c"});  // generation uses 23
  EXPECT_EQ(Lookup(fsm, "b", kGenerationMode), Set{});
  EXPECT_EQ(Lookup(fsm, "\xE9", 3), Set{"e"});  // stemming, mode 3
  EXPECT_EQ(Lookup(fsm, "e", 9), Set{"\xE9"});  // inverse stemming, mode 9
  vtm_free_fsm(fsm);
}

}  // namespace
}  // namespace vtm::compiler
