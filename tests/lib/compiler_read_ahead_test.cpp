// The read-ahead pass for insertions (compiler/read_ahead.h): which arcs it moves, random
// transducers whose lookups keep the reference interpreter's results when compiled with
// it, and the bundled English tokenizers (compiled with it) against the same AT&T text
// compiled without it, on random chunks, in tokenizing mode (first result).
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/att_reader.h"
#include "compiler/read_ahead.h"
#include "compiler/sym_graph.h"
#include "support/att_reference.h"
#include "support/compiled_att.h"
#include "vtmrt.h"

namespace vtm::compiler {
namespace {

// The graph of AT&T text, resolved and prepared as the builder does.
SymGraph Graph(const std::string& text) {
  AttTransducer att;
  std::string error;
  EXPECT_TRUE(ReadAtt(text, 0, &att, &error)) << error;
  Alphabet alphabet;
  SymGraph g;
  std::size_t dropped = 0;
  EXPECT_TRUE(ResolveAtt(att, {}, &alphabet, &g, &dropped, &error)) << error;
  EXPECT_TRUE(PrepareGraph(att, false, &g, &error)) << error;
  return g;
}

std::multiset<std::string> ArcTexts(const SymGraph& g) {
  auto side = [](uint32_t s) {
    return s == sym::kEps ? std::string("0")
                          : std::string(1, static_cast<char>(s - sym::kCharBase));
  };
  std::multiset<std::string> out;
  for (const SymArc& a : g.arcs)
    out.insert(std::to_string(a.src) + ">" + std::to_string(a.dst) + " " + side(a.a) + ":" +
               side(a.b));
  return out;
}

TEST(ReadAhead, AnInsertionMovesOntoTheArcsAfterIt) {
  // 0 -e:_-> 1, then 1 -a:a-> 2 and 1 -b:e-> 2; state 2 final.
  SymGraph g = Graph("0\t1\t@0@\t_\n1\t2\ta\ta\n1\t2\tb\t@0@\n2\n");
  ASSERT_EQ(g.state_count(), 3u);
  EXPECT_EQ(ReadAheadInsertions(&g), 1u);
  // a:a after the insertion becomes a:_ to a new state 3 that writes a; b:e becomes b:_.
  ASSERT_EQ(g.state_count(), 4u);
  EXPECT_EQ(ArcTexts(g),
            (std::multiset<std::string>{"0>3 a:_", "0>2 b:_", "1>2 a:a", "1>2 b:0", "3>2 0:a"}));
  EXPECT_FALSE(g.final[3]);
}

TEST(ReadAhead, InsertionsBeforeAFinalStateOrAnotherEpsilonStay) {
  // Target final: the insertion may end the path.
  SymGraph final_target = Graph("0\t1\t@0@\t_\n1\t2\ta\ta\n1\n2\n");
  EXPECT_EQ(ReadAheadInsertions(&final_target), 0u);
  // Target with an input-epsilon arc of its own.
  SymGraph chain = Graph("0\t1\t@0@\t_\n1\t2\t@0@\tx\n1\t2\ta\ta\n2\n");
  EXPECT_EQ(ReadAheadInsertions(&chain), 0u);
  // Tags anywhere: the graph is left alone.
  SymGraph tags = Graph("0\t1\t@0@\t_\n1\t2\ta\ta\n2\t3\t@0@\t<n>\n3\n");
  const std::multiset<std::string> before = ArcTexts(tags);
  EXPECT_EQ(ReadAheadInsertions(&tags), 0u);
  EXPECT_EQ(ArcTexts(tags), before);
}

// Random transducers with many insertions: every lookup result set equals the
// reference interpreter's over the unchanged AT&T text.
TEST(ReadAhead, RandomTransducersKeepTheirResults) {
  std::mt19937 rng(21);
  int compared = 0;
  std::size_t moved = 0;
  for (int seed = 0; seed < 120; ++seed) {
    test::RandomAttOptions o;
    o.states = 3 + seed % 10;
    o.arcs = 4 + seed % 25;
    o.input_epsilon = 0.35;
    o.final_probability = 0.2;
    o.cyclic = seed % 2;
    o.wide_states = seed % 4 == 0;
    const std::string att = test::RandomAtt(o, rng);
    SymGraph g = Graph(att);
    moved += ReadAheadInsertions(&g);
    test::AttReference ref(test::kRandomAttLimits);
    std::string error;
    ASSERT_TRUE(ref.Parse(att, 0, &error)) << error;
    test::CompileAttOptions co;
    co.read_ahead_insertions = true;
    co.table_min_symbols = seed % 3 ? 4 : 12;
    test::FsmPtr fsm = test::CompileAtt(att, "ahead" + std::to_string(seed) + ".vtm", co);
    ASSERT_NE(fsm, nullptr);
    std::vector<std::string> texts = ref.SampleTexts(rng, 40, false);
    texts.push_back("");
    for (int i = 0; i < 10; ++i) texts.push_back(texts[rng() % texts.size()] + "a");
    compared += test::CompareLookups(fsm.get(), ref, texts, att);
    if (HasFailure()) return;
  }
  EXPECT_EQ(moved, 42u);      // fixed by the seed
  EXPECT_EQ(compared, 5647);  // fixed by the seed
}

#if defined(VTM_ENGLISH_TOKENIZERS_DIR) && defined(VTM_ENGLISH_ATT_DIR)

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string FirstResult(VtmFsm fsm, const std::string& chunk, int* rc) {
  std::vector<char> out(1 << 16);
  *rc = vtm_lookup_with_transduction(chunk.data(), static_cast<int>(chunk.size()), out.data(),
                                     static_cast<int>(out.size()), VTM_MODE_TOKENIZE, fsm, nullptr,
                                     0);
  return *rc > 0 ? std::string(out.data()) : std::string();
}

// The bundled tokenizers, built with the pass (and codes ranked by a sample), split
// random chunks as the same rules compiled plainly do: the same output or the same
// failure for each, long chunks included (a walk that backtracked more could meet its
// step bound).
TEST(ReadAhead, BundledTokenizersSplitAsTheirPlainBuild) {
  static const std::string kCommon = "aeinostAEIMST0123456789.,;:'\"-/()&$%!?@#*_\x85\x92\x93\x94";
  std::mt19937 rng(22);
  std::uniform_int_distribution<int> any(0x21, 0xFF), coin(0, 3),
      common(0, static_cast<int>(kCommon.size()) - 1);
  int compared = 0;
  for (const char* name : {"en-ptb", "en-brown"}) {
    test::FsmPtr bundled =
        test::Open(std::string(VTM_ENGLISH_TOKENIZERS_DIR) + "/" + name + ".vtm");
    ASSERT_EQ(vtm_object_error_code(bundled.get()), 0) << name;
    test::CompileAttOptions plain;
    plain.function = kFunctionTokenizing;
    test::FsmPtr reference =
        test::CompileAtt(ReadFile(std::string(VTM_ENGLISH_ATT_DIR) + "/" + name + ".att"),
                         std::string(name) + "-plain.vtm", plain);
    ASSERT_NE(reference, nullptr) << name;
    for (int round = 0; round < 6000; ++round) {
      // Mostly chunk-sized, some long (up to 200 bytes).
      const int length =
          round % 50 == 0 ? 1 + static_cast<int>(rng() % 200) : 1 + static_cast<int>(rng() % 16);
      std::string chunk;
      for (int k = 0; k < length; ++k)
        chunk.push_back(coin(rng) == 0 ? static_cast<char>(any(rng))
                                       : kCommon[static_cast<std::size_t>(common(rng))]);
      int rc_bundled = 0, rc_reference = 0;
      const std::string a = FirstResult(bundled.get(), chunk, &rc_bundled);
      const std::string b = FirstResult(reference.get(), chunk, &rc_reference);
      ASSERT_EQ(rc_bundled, rc_reference) << name << " " << chunk;
      ASSERT_EQ(a, b) << name << " " << chunk;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 12000);
}

#endif

}  // namespace
}  // namespace vtm::compiler
