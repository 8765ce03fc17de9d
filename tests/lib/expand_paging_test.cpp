// Paging property of partial-word expansion: for random lexicons and random output sizes,
// the pages delivered through the continuation, put together, are the one-call result
// list (and the word-list reference), every page but the last is full in the sense that
// the next result did not fit it, and each page starts with that result.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "support/att_reference.h"
#include "support/compiled_att.h"
#include "support/expand_fixtures.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Strings = std::vector<std::string>;

Strings RandomLexicon(std::mt19937& rng) {
  const std::string letters = "abcdeA";
  std::uniform_int_distribution<int> count(1, 60);
  std::uniform_int_distribution<int> length(0, 7);
  std::uniform_int_distribution<std::size_t> letter(0, letters.size() - 1);
  std::set<std::string> words;
  for (int n = count(rng); n > 0; --n) {
    std::string word;
    for (int k = length(rng); k > 0; --k) word += letters[letter(rng)];
    words.insert(word);
  }
  Strings sorted(words.begin(), words.end());
  std::sort(sorted.begin(), sorted.end(),
            [](const std::string& a, const std::string& b) { return WordCodes(a) < WordCodes(b); });
  return sorted;
}

TEST(ExpandPaging, PagesConcatenateToTheOneCallList) {
  std::mt19937 rng(20261209);
  const Strings fragments = {"", "a", "b", "ab", "A", "ca"};
  for (int round = 0; round < 60; ++round) {
    const Strings words = RandomLexicon(rng);
    FsmPtr fsm = BuildNet(TrieNetwork(words));
    ExpandCall call;
    call.skip = std::uniform_int_distribution<int>(0, 2)(rng);
    call.min_length = std::uniform_int_distribution<int>(0, 3)(rng);
    call.max_length = std::uniform_int_distribution<int>(2, 9)(rng);
    const std::string fragment = fragments[rng() % fragments.size()];
    const Strings expected = Expected(words, fragment, call.skip, call.min_length, call.max_length);
    std::vector<Page> whole = ExpandPages(fsm.get(), fragment, call, 1 << 16);
    ASSERT_EQ(whole.size(), 1u);
    ASSERT_EQ(whole[0].results, expected) << "round " << round;

    // The longest result with its NUL, plus the byte that stays free: the smallest
    // page that always makes progress.
    std::size_t longest = 0;
    for (const std::string& w : expected) longest = std::max(longest, w.size());
    const int smallest = static_cast<int>(longest) + 2;
    for (int trial = 0; trial < 4; ++trial) {
      const int page_size = std::uniform_int_distribution<int>(smallest, smallest + 24)(rng);
      std::vector<Page> pages = ExpandPages(fsm.get(), fragment, call, page_size);
      ASSERT_FALSE(pages.empty());
      EXPECT_EQ(pages.back().rc, pages.back().result_count);
      EXPECT_EQ(Concatenate(pages), expected) << "round " << round << " page " << page_size;
      for (std::size_t k = 0; k + 1 < pages.size(); ++k) {
        ASSERT_EQ(pages[k].rc, VTM_ERR_MORE_RESULTS);
        ASSERT_FALSE(pages[k + 1].results.empty());
        // The page's first result is the one that did not fit the page before.
        const std::size_t next = pages[k + 1].results.front().size() + 1;
        EXPECT_GT(static_cast<std::size_t>(pages[k].cursor) + next,
                  static_cast<std::size_t>(page_size) - 1);
      }
    }
  }
}

TEST(ExpandPaging, RandomCompiledTransducersPageAsOneCall) {
  std::mt19937 rng(7);
  int checked = 0;
  for (int round = 0; round < 40; ++round) {
    test::RandomAttOptions o;
    o.states = 6 + round % 8;
    o.arcs = 12 + round % 20;
    o.chars = {"a", "b", "c", "D"};
    o.cyclic = round % 2 == 1;
    o.flag = round % 3 == 0 ? 0.1 : 0.0;
    const std::string att = test::RandomAtt(o, rng);
    test::AttReference reference;
    std::string error;
    ASSERT_TRUE(reference.Parse(att, 0, &error)) << error;
    // The expansion function: the first sides of the paths.
    // The name is appended piece by piece: GCC 12 (i686) warns of an overlapping copy in
    // a literal + std::string concatenation here.
    std::string name = "expand_random";
    name += std::to_string(round);
    name += ".vtm";
    FsmPtr fsm = CompileAtt(att, name, {kFunctionExpansion});
    ASSERT_NE(fsm, nullptr);
    ExpandCall call;
    call.max_length = 7;
    call.stack_entries = 4096;
    call.skip = round % 3 == 2 ? 1 : 0;
    const std::string fragment = round % 4 == 0 ? "" : (round % 4 == 1 ? "a" : "b");
    std::vector<Page> whole = ExpandPages(fsm.get(), fragment, call, 1 << 20);
    ASSERT_EQ(whole.size(), 1u);
    if (whole[0].rc == VTM_ERR_CHAR_NOT_IN_ALPHABET) continue;  // no first side has it
    ASSERT_GE(whole[0].rc, 0) << att;
    checked += whole[0].rc > 0;
    // Every result is the first side of an accepting path, with the fragment in place.
    for (const std::string& word : whole[0].results) {
      EXPECT_FALSE(reference.Lookup(word).empty()) << word << "\n" << att;
      if (!fragment.empty()) {
        EXPECT_EQ(word.substr(call.skip, fragment.size()), fragment);
      }
      EXPECT_LT(word.size(), 7u);
    }
    // Every sampled accepting path that the call asks for is listed.
    const std::set<std::string> listed(whole[0].results.begin(), whole[0].results.end());
    for (const std::string& text : reference.SampleTexts(rng, 20, false)) {
      if (text.find('[') != std::string::npos || text.size() >= 7) continue;
      if (!Expected({text}, fragment, call.skip, 0, 7).empty()) {
        EXPECT_TRUE(listed.count(text)) << text << "\n" << att;
      }
    }
    std::size_t longest = 0;
    for (const std::string& w : whole[0].results) longest = std::max(longest, w.size());
    for (int trial = 0; trial < 3; ++trial) {
      const int page_size = std::uniform_int_distribution<int>(static_cast<int>(longest) + 2,
                                                               static_cast<int>(longest) + 20)(rng);
      std::vector<Page> pages = ExpandPages(fsm.get(), fragment, call, page_size);
      EXPECT_EQ(Concatenate(pages), whole[0].results) << "page " << page_size << "\n" << att;
    }
  }
  EXPECT_EQ(checked, 28) << "rounds with results, fixed by the seed";
}

}  // namespace
}  // namespace vtm
