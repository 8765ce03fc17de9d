// The buffer's token cache: tagging with it must give exactly what tagging without it
// gives. Random sentences over a small vocabulary (repeated words, case variants, all-caps
// words, opening tokens, blanks, words too long to be cached, multi-word candidates that
// do and do not complete) are tagged in every case mode, with and without multi-word
// tokens and with no dictionary, the title dictionary or a caller's dictionary that
// grows between sentences, by buffers whose caches are tiny (every token evicts the
// last; all share few slots) or large, and compared with a buffer that has no cache.
#include <gtest/gtest.h>

#include <random>

#include "support/tagger_fixtures.h"
#include "tagger/tagger.h"
#include "tagger/token_cache.h"

namespace vtm {
namespace {

using Strings = std::vector<std::string>;

const Strings kTags = {"NN", "VB", "NNS", "VBZ", "DT", "IN", "NP", "JJ", "RB"};

class TokenCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClassFsmOptions o;
    o.lexicon = {{"a", {"DT"}},
                 {"A", {"NP"}},
                 {"run", {"NN", "VB"}},
                 {"Run", {"NP"}},
                 {"runs", {"NNS", "VBZ"}},
                 {"fast", {"JJ", "RB"}},
                 {"Fast", {"NP", "JJ"}},
                 {"of", {"IN"}},
                 {"and", {"IN"}},
                 {"out", {"RB", "__mwt"}},
                 {"out of", {"__mwt"}},
                 {"out of date", {"JJ"}},
                 {"as", {"IN", "__mwt"}},
                 {"as well", {"RB"}},
                 {"well", {"RB", "JJ"}},
                 {"date", {"NN"}},
                 {"Paris", {"NP"}},
                 {"paris", {"NN"}},
                 {"``", {"DT"}}};
    o.rules.alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    o.rules.lower = {{"s", {"NNS", "VBZ"}}, {"ly", {"RB"}}, {"ed", {"VB", "JJ"}}};
    o.rules.capital = {{"", {"NP"}}, {"s", {"NP", "NNS"}}};
    fsm_ = test::ClassFsm(o, "cache");
    ASSERT_EQ(vtm_object_error_code(fsm_.get()), 0);
    // Few classes, so that many tag sets are resolved by the nearest search.
    const Strings classes = {"[NN]", "[VB]", "[NNS][VBZ]", "[DT]", "[IN]",
                             "[NP]", "[JJ]", "[NN][VB]",   "[RB]", "[JJ][RB]"};
    const std::vector<std::vector<uint32_t>> members = {{0}, {1}, {2, 3}, {4}, {5},
                                                        {6}, {7}, {0, 1}, {8}, {7, 8}};
    compiler::TaggerModel m = test::FlatModel(fsm_.get(), kTags, classes, members);
    std::mt19937 rng(77);
    for (auto& row : m.transitions) {
      for (auto& s : row) s = -1 - static_cast<int32_t>(rng() % 50);
    }
    tagger_ = test::LoadTagger(test::WriteModel("cache", m), fsm_.get());
    ASSERT_EQ(vtm_object_error_code(tagger_.get()), 0);
    // The same tag sets in another class order: cached class numbers differ.
    std::vector<std::size_t> order = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    Strings other_classes;
    std::vector<std::vector<uint32_t>> other_members;
    for (std::size_t k : order) {
      other_classes.push_back(classes[k]);
      other_members.push_back(members[k]);
    }
    other_ = test::LoadTagger(
        test::WriteModel("cache2",
                         test::FlatModel(fsm_.get(), kTags, other_classes, other_members)),
        fsm_.get());
    ASSERT_EQ(vtm_object_error_code(other_.get()), 0);
  }

  // A buffer with `slots` cache slots and, like vtmMakeTaggerBuffer's, a title dictionary
  // of its own.
  test::BufferPtr Buffer(uint32_t slots) {
    test::BufferPtr b(MakeTaggerBuffer(48, 600, tagger_.get(), slots));
    EXPECT_EQ(vtm_object_error_code(b.get()), 0);
    b->title_dict = vtm_make_client_dict(0, 0);
    for (const char* w : {"a", "and", "of"}) vtm_add_entry(w, "[title-uncap]", 0, b->title_dict);
    // A real tag too, so that tagging with and without this dictionary differs.
    vtm_add_entry("well", "[NN]", 0, b->title_dict);
    return b;
  }

  std::string RandomWord(std::mt19937& rng) {
    static const Strings kWords = {"a",
                                   "A",
                                   "run",
                                   "Run",
                                   "RUN",
                                   "runs",
                                   "Runs",
                                   "fast",
                                   "Fast",
                                   "FAST",
                                   "of",
                                   "Of",
                                   "and",
                                   "And",
                                   "out",
                                   "Out",
                                   "date",
                                   "Date",
                                   "as",
                                   "As",
                                   "well",
                                   "Well",
                                   "Paris",
                                   "paris",
                                   "PARIS",
                                   "quickly",
                                   "Quickly",
                                   "jumped",
                                   "Jumped",
                                   "zorgs",
                                   "Zorgs",
                                   "ZORG",
                                   "U.S.",
                                   "NATO",
                                   "``",
                                   ":",
                                   "'",
                                   "\x92s",
                                   "--",
                                   "x9",
                                   "\xC9t\xE9",
                                   "\xE9t\xE9",
                                   "extraordinarilylongwordsare",
                                   "Extraordinarilylongwordsare"};
    if (rng() % 12 == 0) return rng() % 2 ? " " : "";
    return kWords[rng() % kWords.size()];
  }

  test::FsmPtr fsm_;
  test::TaggerPtr tagger_;
  test::TaggerPtr other_;
};

TEST_F(TokenCacheTest, CachedTaggingEqualsUncachedTagging) {
  std::mt19937 rng(4242);
  test::BufferPtr plain = Buffer(0);
  ASSERT_EQ(plain->token_cache.slots, nullptr);
  std::vector<test::BufferPtr> cached;
  for (uint32_t slots : {1u, 2u, 7u, 64u, kTokenCacheSlots}) cached.push_back(Buffer(slots));
  VtmClientDict caller = vtm_make_client_dict(0, 0);
  const int modes[] = {1, 2, 4, 3, 5, 6, 7};
  int compared = 0;
  int differing_cases = 0;
  for (int s = 0; s < 3000; ++s) {
    const int length = 1 + static_cast<int>(rng() % 14);
    Strings words;
    for (int x = 0; x < length; ++x) words.push_back(RandomWord(rng));
    const int flags = modes[rng() % 7] | (rng() % 2 ? VTM_TAG_MULTIWORD : 0);
    // The caller's dictionary changes now and then; the title dictionary is the buffers'
    // own (each buffer has one, equal in content).
    if (s % 97 == 0) {
      const std::string word = RandomWord(rng);
      if (!word.empty() && word[0] != ' ') vtm_add_entry(word.c_str(), "[VB]", 0, caller);
    }
    const int which = static_cast<int>(rng() % 3);
    auto dict_of = [&](VtmTaggerBufferRec* b) {
      return which == 0 ? nullptr : which == 1 ? b->title_dict : caller;
    };
    const test::TagRun expected =
        test::Tag(tagger_.get(), plain.get(), words, flags, dict_of(plain.get()));
    for (test::BufferPtr& b : cached) {
      const test::TagRun got = test::Tag(tagger_.get(), b.get(), words, flags, dict_of(b.get()));
      ASSERT_EQ(got.rc, expected.rc) << "sentence " << s;
      ASSERT_EQ(got.out, expected.out) << "sentence " << s << " slots " << b->token_cache.mask + 1;
      ASSERT_EQ(b->tagged_count, plain->tagged_count);
      ++compared;
    }
    // The same sentence in exact case differs somewhere: the case switches matter.
    if (test::Tag(tagger_.get(), plain.get(), words, 1).out != expected.out) ++differing_cases;
  }
  vtm_free_client_dict(caller);
  EXPECT_EQ(compared, 3000 * 5);
  EXPECT_GT(differing_cases, 100);
  std::printf("token cache vs no cache: %d sentence taggings compared\n", compared);
}

TEST_F(TokenCacheTest, MultiwordLookupsAreNeverTakenFromTheCache) {
  test::BufferPtr plain = Buffer(0);
  test::BufferPtr b = Buffer(64);
  const int multi = 1 | VTM_TAG_MULTIWORD;
  const std::vector<Strings> sentences = {{"out", "of", "date"}, {"out", "run"},
                                          {"out", "of", "run"},  {"out", " ", "of", " ", "date"},
                                          {"as", "well"},        {"as", "a", "run"},
                                          {"out", "of", "date"}, {"out"}};
  for (int flags : {multi, 1, multi}) {
    for (const Strings& words : sentences) {
      const test::TagRun expected = test::Tag(tagger_.get(), plain.get(), words, flags);
      const test::TagRun got = test::Tag(tagger_.get(), b.get(), words, flags);
      ASSERT_EQ(got.rc, expected.rc);
      EXPECT_EQ(got.out, expected.out) << words[0] << " " << words.size() << " flags " << flags;
    }
  }
  EXPECT_EQ(test::Tag(tagger_.get(), b.get(), {"out", "of", "date"}, multi).out,
            (Strings{"__mwt", "__mwt", "JJ"}));
  EXPECT_EQ(test::Tag(tagger_.get(), b.get(), {"out", "run"}, multi).out[0], "RB");
}

TEST_F(TokenCacheTest, ChangesOfTaggerOrTitleDictionaryEmptyTheCache) {
  test::BufferPtr b = Buffer(kTokenCacheSlots);
  test::BufferPtr plain = Buffer(0);
  const Strings words = {"a", "run", "fast", "runs", "well", "zorgs", "of", "Paris"};
  // One buffer used with two taggers of the same shape in turn.
  for (int round = 0; round < 3; ++round) {
    for (VtmTaggerRec* t : {tagger_.get(), other_.get()}) {
      EXPECT_EQ(test::Tag(t, b.get(), words, 7, b->title_dict).out,
                test::Tag(t, plain.get(), words, 7, plain->title_dict).out);
    }
  }
  // A title dictionary that gains an entry gives the new entry's tag at once (exact
  // case, so that "fast" is looked up as it stands).
  const Strings before = test::Tag(tagger_.get(), b.get(), words, 1, b->title_dict).out;
  ASSERT_EQ(vtm_add_entry("fast", "[VB]", 0, b->title_dict), 0);
  ASSERT_EQ(vtm_add_entry("fast", "[VB]", 0, plain->title_dict), 0);
  const Strings after = test::Tag(tagger_.get(), b.get(), words, 1, b->title_dict).out;
  EXPECT_NE(before[2], "VB");
  EXPECT_EQ(after[2], "VB");
  EXPECT_EQ(after, test::Tag(tagger_.get(), plain.get(), words, 1, plain->title_dict).out);
}

TEST(TokenCacheTable, KeysMatchOnlyTheSameBytesAndContext) {
  TokenCache cache;
  ASSERT_TRUE(TokenCacheInit(&cache, 100));
  EXPECT_EQ(cache.mask + 1, 64u);  // rounded down to a power of two
  TokenCachePrepare(&cache, &cache, 0);
  TokenKey a, b, c, d;
  ASSERT_TRUE(TokenCacheKey("run", 1, &a));
  ASSERT_TRUE(TokenCacheKey("run", 3, &b));
  ASSERT_TRUE(TokenCacheKey("ruN", 1, &c));
  const std::string longest(kTokenCacheText, 'x');
  ASSERT_TRUE(TokenCacheKey(longest.c_str(), 0, &d));
  EXPECT_FALSE(TokenCacheKey((longest + "x").c_str(), 0, &d));
  EXPECT_EQ(TokenCacheFind(&cache, a), -1);
  TokenCacheStore(&cache, a, 5);
  EXPECT_EQ(TokenCacheFind(&cache, a), 5);
  EXPECT_EQ(TokenCacheFind(&cache, b), -1);
  EXPECT_EQ(TokenCacheFind(&cache, c), -1);
  // A key whose hash is forced equal but whose bytes differ is no hit.
  TokenKey forged = c;
  forged.hash = a.hash;
  EXPECT_EQ(TokenCacheFind(&cache, forged), -1);
  // Another owner empties the table; the same owner keeps it.
  TokenCachePrepare(&cache, &cache, 0);
  EXPECT_EQ(TokenCacheFind(&cache, a), 5);
  TokenCachePrepare(&cache, &cache, 1);
  EXPECT_EQ(TokenCacheFind(&cache, a), -1);
  TokenCacheFree(&cache);
  // Two slots are one set: two keys stay, a third evicts the less recently used.
  ASSERT_TRUE(TokenCacheInit(&cache, 2));
  TokenCachePrepare(&cache, &cache, 0);
  TokenCacheStore(&cache, a, 1);
  TokenCacheStore(&cache, b, 2);
  EXPECT_EQ(TokenCacheFind(&cache, a), 1);
  EXPECT_EQ(TokenCacheFind(&cache, b), 2);
  EXPECT_EQ(TokenCacheFind(&cache, a), 1);  // a is now the more recent
  TokenCacheStore(&cache, c, 3);
  EXPECT_EQ(TokenCacheFind(&cache, b), -1);
  EXPECT_EQ(TokenCacheFind(&cache, a), 1);
  EXPECT_EQ(TokenCacheFind(&cache, c), 3);
  TokenCacheFree(&cache);
  // One slot: each key evicts the last.
  ASSERT_TRUE(TokenCacheInit(&cache, 1));
  TokenCachePrepare(&cache, &cache, 0);
  TokenCacheStore(&cache, a, 1);
  TokenCacheStore(&cache, b, 2);
  EXPECT_EQ(TokenCacheFind(&cache, a), -1);
  EXPECT_EQ(TokenCacheFind(&cache, b), 2);
  TokenCacheFree(&cache);
  ASSERT_TRUE(TokenCacheInit(&cache, 0));
  EXPECT_EQ(cache.slots, nullptr);
  TokenCacheStore(&cache, a, 5);
  EXPECT_EQ(TokenCacheFind(&cache, a), -1);
  TokenCacheFree(&cache);
}

}  // namespace
}  // namespace vtm
