// Generation laid out for the inverse walk (compiler/inverse_layout.h): the rebuilt
// code-level transducer keeps the relation of the original and reads each input code
// through at most one alternative per state; compiled transducers with a generation
// function (23) generate the reference interpreter's sets, as the same text compiled for
// analysis alone does through its fallback to function 12.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "compiler/inverse_layout.h"
#include "support/att_reference.h"
#include "support/compiled_att.h"
#include "vtmrt.h"

namespace vtm {
namespace {

using compiler::CodeAlt;
using compiler::CodeNet;
using compiler::CodeState;
using compiler::CodeSymbol;
using compiler::kNoState;
using Relation = std::set<std::pair<std::string, std::string>>;  // (first side, second side)

// A random acyclic code-level transducer over the codes 64, 68, ... 64 + 4 * (codes - 1):
// targets lie after their source, so every path ends.
CodeNet RandomCodeNet(std::mt19937& rng, int states, int codes) {
  CodeNet net;
  net.states.resize(states);
  auto code = [&] { return static_cast<uint8_t>(64 + 4 * (rng() % codes)); };
  for (int q = 0; q < states; ++q) {
    CodeState& s = net.states[q];
    s.final = rng() % 3 == 0 || q == states - 1;
    if (q == states - 1) continue;
    auto target = [&] { return static_cast<uint32_t>(q + 1 + rng() % (states - q - 1)); };
    std::set<uint8_t> eps;
    for (int k = rng() % 3; k > 0; --k) eps.insert(rng() % 4 == 0 ? 0 : code());
    for (uint8_t c : eps) s.eps.push_back({c, target()});
    std::set<uint8_t> firsts;
    for (int k = rng() % 4; k > 0; --k) firsts.insert(code());
    for (uint8_t c : firsts) {
      CodeSymbol sym{c, kNoState, {}};
      if (rng() % 2) sym.identity = target();
      std::set<uint8_t> seconds;
      for (int k = sym.identity == kNoState ? 1 + rng() % 2 : rng() % 2; k > 0; --k) {
        uint8_t y = rng() % 3 == 0 ? 0 : code();
        if (y != c) seconds.insert(y);
      }
      for (uint8_t y : seconds) sym.others.push_back({y, target()});
      if (sym.identity != kNoState || !sym.others.empty()) s.symbols.push_back(sym);
    }
  }
  return net;
}

// Every (first side, second side) of an accepting path.
void Collect(const CodeNet& net, uint32_t q, std::string first, std::string second, Relation* out) {
  const CodeState& s = net.states[q];
  if (s.final) out->insert({first, second});
  auto go = [&](uint8_t x, uint8_t y, uint32_t t) {
    Collect(net, t, x ? first + char(x) : first, y ? second + char(y) : second, out);
  };
  for (const CodeAlt& a : s.eps) go(0, a.code, a.target);
  for (const CodeSymbol& sym : s.symbols) {
    if (sym.identity != kNoState) go(sym.code, sym.code, sym.identity);
    for (const CodeAlt& a : sym.others) go(sym.code, a.code, a.target);
  }
}

Relation RelationOf(const CodeNet& net) {
  Relation r;
  Collect(net, net.start, "", "", &r);
  return r;
}

TEST(InverseLayout, KeepsTheRelationAndReadsEachCodeOncePerState) {
  std::mt19937 rng(7);
  std::size_t compared = 0, pairs = 0, shrunk = 0;
  for (int round = 0; round < 300; ++round) {
    const CodeNet net = RandomCodeNet(rng, 3 + round % 6, 2 + round % 4);
    compiler::InverseLayoutReport report;
    const CodeNet laid = compiler::InverseLayout(net, &report);
    ASSERT_TRUE(laid.inverse_layout);
    const Relation expected = RelationOf(net);
    ASSERT_EQ(RelationOf(laid), expected) << "round " << round;
    pairs += expected.size();
    shrunk += report.states < report.dfa_states;
    for (const CodeState& s : laid.states) {
      // Reads: codes only, strictly ascending (one alternative per input code).
      for (std::size_t i = 0; i < s.eps.size(); ++i) {
        ASSERT_NE(s.eps[i].code, 0) << "round " << round;
        if (i > 0) {
          ASSERT_LT(s.eps[i - 1].code, s.eps[i].code) << "round " << round;
        }
      }
      // Writes: x:epsilon pairs, one per code.
      for (std::size_t i = 0; i < s.symbols.size(); ++i) {
        const CodeSymbol& sym = s.symbols[i];
        ASSERT_EQ(sym.identity, kNoState);
        ASSERT_EQ(sym.others.size(), 1u);
        ASSERT_EQ(sym.others[0].code, 0);
        if (i > 0) {
          ASSERT_LT(s.symbols[i - 1].code, sym.code);
        }
      }
    }
    ++compared;
  }
  EXPECT_EQ(compared, 300u);
  EXPECT_GT(pairs, 3000u);  // the relations are not trivially small
  EXPECT_GT(shrunk, 10u);   // minimization merged states in some of them
}

// Generation from second-side samples and random texts of `rounds` random transducers,
// each compiled for analysis alone (generation falls back to function 12) and with its
// own generation function; both must give the reference's set, without duplicates.
// Returns the number of texts compared.
int CompareGeneration(const test::RandomAttOptions& options, int rounds, uint32_t seed,
                      int table_min_inputs) {
  std::mt19937 rng(seed);
  int compared = 0;
  for (int round = 0; round < rounds; ++round) {
    const std::string att = test::RandomAtt(options, rng);
    test::AttReference ref;
    ref.limits.max_steps = 50000;
    ref.limits.max_output_symbols = 24;
    std::string error;
    EXPECT_TRUE(ref.Parse(att, 0, &error)) << error;
    // One label base: the layout, not the choice of codes, is under test (and it is quick).
    test::CompileAttOptions alone;
    alone.label_base = 64;
    test::CompileAttOptions with = alone;
    with.generation = true;
    with.table_min_inputs = table_min_inputs;
    test::FsmPtr fallback = test::CompileAtt(att, "generation_fallback.vtm", alone);
    test::FsmPtr laid = test::CompileAtt(att, "generation_layout.vtm", with);
    if (fallback == nullptr || laid == nullptr) return compared;
    std::vector<std::string> texts = ref.SampleTexts(rng, 8, true);
    for (int k = 0; k < 4; ++k) {
      std::string text;
      for (std::size_t j = rng() % 4; j > 0; --j)
        text += options.chars[rng() % options.chars.size()];
      texts.push_back(text);
    }
    for (const std::string& text : texts) {
      const std::set<std::string> expected = ref.Inverse(text);
      // Huge sets cost the walk's duplicate test more than they add to the comparison.
      if (ref.last_incomplete() || expected.size() > 500) continue;
      int rc_fallback = 0, rc_laid = 0;
      const auto got_fallback =
          test::LookupSet(fallback.get(), text, VTM_MODE_GENERATE, &rc_fallback);
      const auto got_laid = test::LookupSet(laid.get(), text, VTM_MODE_GENERATE, &rc_laid);
      EXPECT_EQ(got_laid, expected) << "generation of " << text << "\n" << att;
      EXPECT_EQ(got_fallback, expected) << "fallback generation of " << text << "\n" << att;
      EXPECT_EQ(static_cast<std::size_t>(rc_laid), got_laid.size()) << "duplicates kept";
      ++compared;
    }
    if (::testing::Test::HasFailure()) return compared;
  }
  return compared;
}

TEST(GenerationLayout, AcyclicWithEpsilonsAndNonIdentityPairs) {
  test::RandomAttOptions o;
  o.states = 7;
  o.arcs = 14;
  o.input_epsilon = o.output_epsilon = 0.25;
  o.non_identity = 0.4;
  EXPECT_EQ(CompareGeneration(o, 40, 11, 6), 480);  // texts, fixed by the seed
}

TEST(GenerationLayout, CyclicFlagsTagsAndInputTables) {
  test::RandomAttOptions o;
  o.states = 8;
  o.arcs = 26;
  o.cyclic = true;
  o.flag = 0.2;
  o.tags = {"+N", "<pl>", "+V"};
  o.input_epsilon = o.output_epsilon = 0.2;
  o.wide_states = 2;
  o.chars = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n"};
  // Tables from two codes read on, so that most states seek their input in one.
  EXPECT_EQ(CompareGeneration(o, 40, 12, 2), 475);  // texts, fixed by the seed
}

}  // namespace
}  // namespace vtm
