// Differential tests of lookup and generation: random AT&T transducers are compiled to
// transducer files, loaded, and looked up in both directions; every result set must
// equal the reference interpreter's over the AT&T graph itself.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "compiler/att_reader.h"
#include "compiler/file_writer.h"
#include "compiler/transducer_builder.h"
#include "support/att_reference.h"
#include "support/fsm_fixtures.h"
#include "vtmrt.h"

namespace vtm {
namespace {

using Set = std::set<std::string>;

// Compiles `att` for analysis (function 12); generation falls back to it.
test::FsmPtr Compile(const std::string& att, int round) {
  auto t = std::make_shared<compiler::AttTransducer>();
  std::string error;
  EXPECT_TRUE(compiler::ReadAtt(att, 0, t.get(), &error)) << error;
  compiler::BuildOptions options;
  options.inputs.push_back({kFunctionAnalysis, "random.att", t});
  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  if (!compiler::BuildTransducer(options, &spec, &report, &error)) {
    ADD_FAILURE() << error << "\n" << att;
    return test::FsmPtr(nullptr);
  }
  return test::Open(test::WriteSpec("differential_" + std::to_string(round) + ".vtm", spec));
}

// Results of a lookup (mode 2) or a generation (mode 8) as a set; the error code alone
// when the call fails.
constexpr int kOutputSize = 1 << 16;

// True when the results need more room than the output buffer gives.
bool TooLarge(const Set& results) {
  std::size_t bytes = 0;
  for (const std::string& r : results) bytes += r.size() + 1;
  return bytes > kOutputSize / 2;
}

Set Results(VtmFsm fsm, const std::string& text, int mode, int* rc) {
  std::vector<char> out(kOutputSize);
  *rc = vtm_lookup_with_transduction(text.c_str(), static_cast<int>(text.size()), out.data(),
                                     static_cast<int>(out.size()), mode, fsm, nullptr, 0);
  Set results;
  std::size_t at = 0;
  for (int k = 0; k < *rc; ++k) {
    std::string r(out.data() + at);
    at += r.size() + 1;
    results.insert(r);
  }
  return results;
}

void CompareOn(const testing::RandomAttOptions& options, int rounds, uint32_t seed) {
  std::mt19937 rng(seed);
  int compared = 0;
  for (int round = 0; round < rounds; ++round) {
    const std::string att = testing::RandomAtt(options, rng);
    testing::AttReference ref;
    ref.limits.max_steps = 50000;  // keeps cyclic cases quick; incomplete sets are skipped
    ref.limits.max_output_symbols = 24;
    std::string error;
    ASSERT_TRUE(ref.Parse(att, 0, &error)) << error;
    test::FsmPtr fsm = Compile(att, round);
    if (fsm == nullptr || vtm_object_error_code(fsm.get()) != 0) continue;

    std::vector<std::string> inputs = ref.SampleTexts(rng, 6, false);
    std::vector<std::string> outputs = ref.SampleTexts(rng, 6, true);
    for (int k = 0; k < 4; ++k) {  // random texts, mostly not in the language
      std::string text;
      const std::size_t length = rng() % 4;
      for (std::size_t j = 0; j < length; ++j) {
        text += options.chars[rng() % options.chars.size()];
      }
      inputs.push_back(text);
      outputs.push_back(text);
    }
    for (const std::string& text : inputs) {
      const Set expected = ref.Lookup(text);
      if (ref.last_incomplete() || TooLarge(expected)) continue;
      int rc = 0;
      const Set got = Results(fsm.get(), text, 2, &rc);
      ASSERT_GE(rc, 0) << "lookup " << text << "\n" << att;
      EXPECT_EQ(got, expected) << "lookup " << text << "\n" << att;
      EXPECT_EQ(static_cast<std::size_t>(rc), got.size()) << "duplicates kept";
      ++compared;
    }
    for (const std::string& text : outputs) {
      const Set expected = ref.Inverse(text);
      if (ref.last_incomplete() || TooLarge(expected)) continue;
      int rc = 0;
      const Set got = Results(fsm.get(), text, 8, &rc);
      ASSERT_GE(rc, 0) << "generation " << text << "\n" << att;
      EXPECT_EQ(got, expected) << "generation " << text << "\n" << att;
      ++compared;
    }
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(compared, rounds);
}

TEST(LookupDifferential, AcyclicWithEpsilonsAndNonIdentityPairs) {
  testing::RandomAttOptions o;
  o.states = 7;
  o.arcs = 14;
  o.input_epsilon = o.output_epsilon = 0.2;
  CompareOn(o, 60, 1);
}

TEST(LookupDifferential, CyclicWideStatesAndTags) {
  testing::RandomAttOptions o;
  o.states = 6;
  o.arcs = 18;
  o.cyclic = true;
  o.wide_states = 2;
  o.chars = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n"};
  o.tags = {"+N", "<pl>", "+V"};
  CompareOn(o, 60, 2);
}

TEST(LookupDifferential, CyclicFlagsTagsTablesTogether) {
  testing::RandomAttOptions o;
  o.states = 10;
  o.arcs = 30;
  o.cyclic = true;
  o.flag = 0.2;
  o.tags = {"+N", "<pl>"};
  o.input_epsilon = o.output_epsilon = 0.3;
  o.wide_states = 1;
  o.chars = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n"};
  CompareOn(o, 60, 4);
}

TEST(LookupDifferential, FlagDiacritics) {
  testing::RandomAttOptions o;
  o.states = 6;
  o.arcs = 14;
  o.flag = 0.25;
  o.input_epsilon = 0.1;
  CompareOn(o, 60, 3);
}

}  // namespace
}  // namespace vtm
