// Label codes ranked by a sample text (compiler/code_assignment.h, WeightBySample): the
// ranking property on random alphabets and samples, and differential lookups of random
// transducers compiled with random samples against the reference interpreter (the codes
// change, the results must not), and the fitted sample (characters kept only while the
// file stays as small as without the sample) on random transducers.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "compiler/att_reader.h"
#include "compiler/code_assignment.h"
#include "compiler/symbols.h"
#include "compiler/transducer_builder.h"
#include "support/att_reference.h"
#include "support/compiled_att.h"
#include "support/fsm_fixtures.h"
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
    test::AttReference ref(test::kRandomAttLimits);
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

// Bytes of the file compiled from `att` with `sample` (fitted or not); the characters
// that the fit kept go to *kept.
std::size_t CompiledSize(const std::string& att, const std::string& sample, bool fit,
                         int label_base, std::string* kept) {
  auto t = std::make_shared<AttTransducer>();
  std::string error;
  EXPECT_TRUE(ReadAtt(att, 0, t.get(), &error)) << error;
  BuildOptions build;
  build.inputs.push_back({kFunctionAnalysis, "fit", t});
  build.label_base = label_base;
  build.code_sample = sample;
  build.code_sample_fit = fit;
  TransducerSpec spec;
  BuildReport report;
  EXPECT_TRUE(BuildTransducer(build, &spec, &report, &error)) << error;
  *kept = report.sample_characters_kept;
  return test::LayOut(spec, nullptr).size();
}

// A fitted sample never makes the file larger than the arc counts' file, keeps only
// characters of the sample and the alphabet, most frequent first, and changes no lookup.
TEST(CodeSample, AFittedSampleKeepsTheSizeAndTheLookups) {
  std::mt19937 rng(13);
  test::RandomAttOptions o;
  for (const char* c : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n",
                        "o", "p", "A", "B", "C", "D", "E", "F", "G", ".", ",", "'", "-"})
    o.chars.push_back(c);
  const std::string pool = "ABCDEFG.,'-abcdefgh";
  int compared = 0;
  std::size_t kept_in_all = 0;
  for (int seed = 0; seed < 40; ++seed) {
    o.states = 6 + seed % 14;
    o.arcs = 30 + seed * 4;
    o.wide_states = seed % 3;
    o.cyclic = seed % 2;
    o.tags.clear();
    if (seed % 4 != 0) o.tags = {"<n>", "<pl>", "<sg>", "<vblex>", "<adj>", "<det>"};
    const std::string att = test::RandomAtt(o, rng);
    std::string sample;
    for (int n = 50 + static_cast<int>(rng() % 500); n > 0; --n)
      sample += pool[(rng() % pool.size()) * (rng() % pool.size()) / pool.size()];
    const int label_base = seed % 3 == 0 ? 0 : 160 + 16 * (seed % 4);
    std::string kept, none;
    const std::size_t plain = CompiledSize(att, "", false, label_base, &none);
    const std::size_t fitted = CompiledSize(att, sample, true, label_base, &kept);
    ASSERT_LE(fitted, plain) << "sample '" << sample << "'\n" << att;
    kept_in_all += kept.size();
    std::vector<std::size_t> seen(256, 0);
    for (unsigned char ch : sample) ++seen[ch];
    for (std::size_t i = 0; i < kept.size(); ++i) {
      const auto ch = static_cast<unsigned char>(kept[i]);
      ASSERT_GT(seen[ch], 0u) << kept;
      ASSERT_NE(att.find(static_cast<char>(ch)), std::string::npos) << kept;
      if (i > 0) {
        ASSERT_LE(seen[ch], seen[static_cast<unsigned char>(kept[i - 1])]) << kept;
      }
    }

    test::AttReference ref(test::kRandomAttLimits);
    std::string error;
    ASSERT_TRUE(ref.Parse(att, 0, &error)) << error;
    test::CompileAttOptions co;
    co.label_base = label_base;
    co.code_sample = sample;
    co.code_sample_fit = true;
    test::FsmPtr fsm = test::CompileAtt(att, "fit" + std::to_string(seed) + ".vtm", co);
    ASSERT_NE(fsm, nullptr);
    std::vector<std::string> texts = ref.SampleTexts(rng, 30, false);
    compared +=
        test::CompareLookups(fsm.get(), ref, texts, "fitted sample '" + sample + "'\n" + att);
    if (HasFailure()) return;
  }
  EXPECT_GT(kept_in_all, 0u);  // the fit does keep characters
  EXPECT_GT(compared, 400);
}

}  // namespace
}  // namespace vtm::compiler
