// Class transducers from the compiler against the runtime's class walk: on random class
// lexicons (many tags, so that tag codes carry escapes) every word reports exactly the
// symbol numbers of its coded tag names; the suffix guesser reports the tags of the
// longest matching suffix rule, checked against a direct search of the rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "fst/fsm.h"
#include "lookup/coding.h"
#include "lookup/walk.h"
#include "support/tagger_fixtures.h"
#include "tagger/tagger.h"

namespace vtm {
namespace {

// Joins two texts (append avoids a false -Wrestrict of GCC 12 on operator+).
std::string Cat(std::string a, const std::string& b) {
  a.append(b);
  return a;
}

// Symbols that the class walk of function f reports for `word` (sorted), or the error.
std::vector<uint16_t> WalkSymbols(const VtmFsmRec* fsm, int function, const std::string& word,
                                  int* rc) {
  uint8_t coded[512];
  CoderOptions o;
  o.closing_sep = true;
  *rc = EncodeText(word.c_str(), kNulTerminated, coded, sizeof coded, o, fsm);
  if (*rc < 0) return {};
  std::vector<uint16_t> out(1024);
  VtmBacktrackEntry stack[100];
  WalkArgs a;
  a.input = coded;
  a.subnet = FsmFunctionSubnet(fsm, function);
  a.stack = stack;
  a.stack_entries = 100;
  a.classes = out.data();
  a.classes_capacity = 1024;
  *rc = ClassWalk(fsm, a);
  if (*rc < 0) return {};
  out.resize(static_cast<std::size_t>(*rc));
  std::sort(out.begin(), out.end());
  return out;
}

// Symbol numbers of the coded tag names (sorted).
std::vector<uint16_t> CodedSymbols(const VtmFsmRec* fsm, const std::vector<std::string>& tags) {
  std::vector<uint16_t> all;
  for (const std::string& tag : tags) {
    uint8_t coded[64];
    CoderOptions o;
    o.tags = true;
    const std::string text = Cat(Cat("[", tag), "]");
    EXPECT_GT(EncodeText(text.c_str(), kNulTerminated, coded, sizeof coded, o, fsm), 1) << tag;
    uint16_t s[8];
    EXPECT_EQ(CodesToSymbols(coded + 1, fsm->header.esc_label, s, 8), 1) << tag;
    all.push_back(s[0]);
  }
  std::sort(all.begin(), all.end());
  return all;
}

std::string RandomWord(std::mt19937& rng, const std::string& letters, int max_length) {
  std::string w;
  const int n = 1 + static_cast<int>(rng() % static_cast<unsigned>(max_length));
  for (int k = 0; k < n; ++k) w += letters[rng() % letters.size()];
  return w;
}

TEST(ClassWalkAgainstLexicon, RandomLexiconsWithEscapedTags) {
  std::mt19937 rng(1234);
  int words_compared = 0;
  int escaped_tags = 0;
  for (int round = 0; round < 12; ++round) {
    const int tag_pool = 20 + static_cast<int>(rng() % 180);
    compiler::ClassEntries lexicon;
    const int words = 30 + static_cast<int>(rng() % 60);
    for (int k = 0; k < words; ++k) {
      std::vector<std::string> tags;
      const int n = 1 + static_cast<int>(rng() % 6);
      std::set<int> chosen;
      for (int j = 0; j < n; ++j) chosen.insert(static_cast<int>(rng() % tag_pool));
      for (int t : chosen) tags.push_back(Cat("t", std::to_string(t)));
      lexicon[RandomWord(rng, "abcdeAB .", 6)] = tags;
    }
    // Every tag of the pool appears somewhere, so the transducer has them all.
    for (int t = 0; t < tag_pool; ++t) {
      lexicon[Cat("zz", std::to_string(t))] = {Cat("t", std::to_string(t))};
    }
    test::ClassFsmOptions o;
    o.lexicon = lexicon;
    test::FsmPtr fsm = test::ClassFsm(o, Cat("walk_", std::to_string(round)));
    ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
    ASSERT_TRUE(fsm->header.code_flags & 0x80);
    for (const auto& [word, tags] : lexicon) {
      int rc = 0;
      std::vector<uint16_t> got = WalkSymbols(fsm.get(), 60, word, &rc);
      ASSERT_GE(rc, 0) << word;
      ASSERT_EQ(got, CodedSymbols(fsm.get(), tags)) << "word " << word << " round " << round;
      ++words_compared;
    }
    for (int t = 0; t < tag_pool; ++t) {
      escaped_tags += CodedSymbols(fsm.get(), {Cat("t", std::to_string(t))})[0] >= 64;
    }
    // Words that are not in the lexicon report nothing.
    for (int k = 0; k < 20; ++k) {
      const std::string w = RandomWord(rng, "abcdeAB", 7);
      if (lexicon.count(w)) continue;
      int rc = 0;
      EXPECT_TRUE(WalkSymbols(fsm.get(), 60, w, &rc).empty()) << w;
    }
  }
  EXPECT_GT(escaped_tags, 100);
  EXPECT_GT(words_compared, 1000);
  std::printf("class walk vs lexicon: %d words compared, %d tags with escapes\n", words_compared,
              escaped_tags);
}

bool IsCapitalLetter(char c) {
  return c >= 'A' && c <= 'Z';
}

TEST(ClassWalkAgainstLexicon, SuffixGuesserAnswersTheLongestRule) {
  std::mt19937 rng(99);
  int words_compared = 0;
  for (int round = 0; round < 8; ++round) {
    compiler::GuesserRules rules;
    rules.alphabet = "abcdABCD-";
    std::map<std::string, std::vector<std::string>> lower, capital;
    auto fill = [&](std::map<std::string, std::vector<std::string>>* m, bool with_default) {
      if (with_default) (*m)[""] = {Cat("d", std::to_string(rng() % 5))};
      const int n = static_cast<int>(rng() % 25);
      for (int k = 0; k < n; ++k) {
        std::vector<std::string> tags;
        const int count = 1 + static_cast<int>(rng() % 3);
        for (int j = 0; j < count; ++j) tags.push_back(Cat("g", std::to_string(rng() % 60)));
        std::sort(tags.begin(), tags.end());
        tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
        (*m)[RandomWord(rng, "abcdAB-", 4)] = tags;
      }
    };
    fill(&lower, round % 2 == 0);
    fill(&capital, round % 3 != 0);
    for (const auto& [s, t] : lower) rules.lower.push_back({s, t});
    for (const auto& [s, t] : capital) rules.capital.push_back({s, t});
    test::ClassFsmOptions o;
    o.lexicon = {{"x", {"x"}}};
    o.rules = rules;
    test::FsmPtr fsm = test::ClassFsm(o, Cat("guess_", std::to_string(round)));
    ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
    for (int k = 0; k < 150; ++k) {
      const std::string w = RandomWord(rng, rules.alphabet, 8);
      const auto& list = IsCapitalLetter(w[0]) ? capital : lower;
      std::vector<std::string> expected;
      for (std::size_t len = w.size() + 1; len-- > 0;) {
        auto it = list.find(w.substr(w.size() - len));
        if (it != list.end()) {
          expected = it->second;
          break;
        }
      }
      int rc = 0;
      std::vector<uint16_t> got = WalkSymbols(fsm.get(), 61, w, &rc);
      ASSERT_GE(rc, 0);
      ASSERT_EQ(got, CodedSymbols(fsm.get(), expected)) << "word " << w << " round " << round;
      ++words_compared;
    }
  }
  EXPECT_EQ(words_compared, 8 * 150);
}

}  // namespace
}  // namespace vtm
