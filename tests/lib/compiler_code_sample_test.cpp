// Label codes ranked by a sample text (compiler/code_assignment.h, WeightBySample): the
// ranking property on random alphabets and samples, and differential lookups of random
// transducers compiled with random samples against the reference interpreter (the codes
// change, the results must not).
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "compiler/code_assignment.h"
#include "compiler/symbols.h"
#include "support/att_reference.h"
#include "support/compiled_att.h"
#include "vtmrt.h"

namespace vtm::compiler {
namespace {

// Symbol ordinal of a character's code: its rank in the assignment (lower: fewer escapes).
uint32_t Rank(const CodeAssignment& a, int byte) {
  return a.Ordinal(a.chars[byte]);
}

TEST(CodeSample, SampleCharactersRankFirstByFrequencyThenArcCounts) {
  std::mt19937 rng(11);
  int compared = 0;
  for (int round = 0; round < 300; ++round) {
    SymbolCounts counts;
    std::vector<uint64_t> arc_count(256, 0);
    for (int b = 1; b < 256; ++b) {
      if (rng() % 3 != 0) arc_count[b] = counts.chars[b] = 1 + rng() % 1000;
    }
    std::vector<uint64_t> freq(256, 0);
    std::string sample;
    for (int n = static_cast<int>(rng() % 400); n > 0; --n) {
      // Skewed: low bytes often, so that ties and absent characters both occur.
      const int b = 1 + static_cast<int>((rng() % 255) * (rng() % 255) / 255);
      sample.push_back(static_cast<char>(b));
      ++freq[b];
    }
    WeightBySample(sample, &counts);
    CodeAssignment a;
    std::string error;
    Alphabet alphabet;
    // A high label base leaves few base codes, so that most characters need escapes.
    const uint8_t label_base = round % 2 ? 200 : 32;
    ASSERT_TRUE(AssignCodes(label_base, alphabet, counts, &a, &error)) << error;
    for (int x = 1; x < 256; ++x) {
      if (arc_count[x] == 0) {
        EXPECT_EQ(a.chars[x].base, 0) << x;  // not in the alphabet: no code
        continue;
      }
      for (int y = 1; y < 256; ++y) {
        if (arc_count[y] == 0 || x == y) continue;
        const bool x_first = freq[x] != freq[y] ? freq[x] > freq[y] : arc_count[x] > arc_count[y];
        if (!x_first) continue;
        ++compared;
        ASSERT_LE(a.chars[x].escapes, a.chars[y].escapes) << x << " before " << y;
        ASSERT_LT(Rank(a, x), Rank(a, y)) << x << " before " << y;
      }
    }
  }
  EXPECT_EQ(compared, 4330515);  // fixed by the seed
}

TEST(CodeSample, AnEmptySampleKeepsTheArcCounts) {
  SymbolCounts counts;
  counts.chars['a'] = 5;
  counts.chars['b'] = 9;
  const SymbolCounts before = counts;
  WeightBySample("", &counts);
  EXPECT_EQ(counts.chars, before.chars);
  // Characters outside the alphabet gain no count from the sample.
  WeightBySample("zzz", &counts);
  EXPECT_EQ(counts.chars['z'], 0u);
  EXPECT_GT(counts.chars['a'], 0u);
}

// Lookups of random transducers compiled with a random sample equal the reference's.
TEST(CodeSample, CompiledWithAnySampleTheLookupsStayTheSame) {
  std::mt19937 rng(12);
  test::RandomAttOptions o;
  for (const char* c : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
                        "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z",
                        "A", "B", "C", "D", "E", "é", "ü", "€", "1", "2", "-", "'", "."})
    o.chars.push_back(c);
  const std::string pool = "abcdefghijklmnopqrstuvwxyzABCDE12-'. ";
  int compared = 0;
  for (int seed = 0; seed < 40; ++seed) {
    o.states = 4 + seed % 12;
    o.arcs = 15 + seed * 3;
    o.wide_states = seed % 3;
    o.cyclic = seed % 2;
    const std::string att = test::RandomAtt(o, rng);
    test::AttReference ref;
    ref.limits.max_steps = 100000;
    ref.limits.max_output_symbols = 24;
    std::string error;
    ASSERT_TRUE(ref.Parse(att, 0, &error)) << error;
    test::CompileAttOptions co;
    co.label_base = seed % 2 ? 200 : 0;  // 200: escapes for most characters
    co.table_min_symbols = seed % 3 ? 4 : 12;
    for (int n = static_cast<int>(rng() % 60); n > 0; --n)
      co.code_sample += pool[rng() % pool.size()];
    test::FsmPtr fsm = test::CompileAtt(att, "sample" + std::to_string(seed) + ".vtm", co);
    ASSERT_NE(fsm, nullptr);
    std::vector<std::string> texts = ref.SampleTexts(rng, 30, false);
    for (int i = 0; i < 10; ++i) texts.push_back(texts[rng() % texts.size()] + "a");
    compared +=
        test::CompareLookups(fsm.get(), ref, texts, "sample '" + co.code_sample + "'\n" + att);
    if (HasFailure()) return;
  }
  EXPECT_EQ(compared, 1462);  // fixed by the seed
}

}  // namespace
}  // namespace vtm::compiler
