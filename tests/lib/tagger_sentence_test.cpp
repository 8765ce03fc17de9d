// Sentence tagging: argument checks, blank tokens, the title pass, case variants,
// all-caps words and sentence starts, multi-word tokens, the client dictionary, guessing,
// output limits, vtmTagSentence's list form, the letter tests and score_add.
#include <gtest/gtest.h>

#include <climits>

#include "support/tagger_fixtures.h"
#include "tagger/letters.h"
#include "tagger/tagger.h"

namespace vtm {
namespace {

using Strings = std::vector<std::string>;

constexpr int kExact = VTM_TAG_CASE_EXACT;
constexpr int kLower = VTM_TAG_CASE_LOWER;
constexpr int kUpper = VTM_TAG_CASE_UPPER;
constexpr int kAuto = kExact | kLower | kUpper;

const Strings kTags = {"NN", "VB", "NNS", "VBZ", "DT", "IN", "NP", "JJ"};

class SentenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClassFsmOptions o;
    o.lexicon = {{"the", {"DT"}},         {"cat", {"NN"}},          {"sat", {"VB"}},
                 {"on", {"IN"}},          {"mat", {"NN"}},          {"war", {"NN"}},
                 {"and", {"IN"}},         {"peace", {"NN"}},        {"dog", {"NN"}},
                 {"Dog", {"NP"}},         {"paris", {"JJ"}},        {"Paris", {"NP"}},
                 {"bark", {"NN", "VB"}},  {"in", {"IN", "__mwt"}},  {"in spite", {"__mwt"}},
                 {"in spite of", {"JJ"}}, {"new", {"JJ", "__mwt"}}, {"new york", {"NP"}},
                 {"``", {"DT"}}};
    o.rules.alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    o.rules.lower = {{"s", {"NNS", "VBZ"}}, {"ly", {"JJ"}}};
    o.rules.capital = {{"", {"NP"}}};
    fsm_ = test::ClassFsm(o, "sentence");
    ASSERT_EQ(vtm_object_error_code(fsm_.get()), 0);
    // Class 0 ([NN]) is what unknown, unguessable words get.
    const Strings classes = {"[NN]", "[VB]", "[NNS][VBZ]", "[DT]",     "[IN]",
                             "[NP]", "[JJ]", "[NN][VB]",   "[NN][NP]", "[JJ][NP]"};
    const std::vector<std::vector<uint32_t>> members = {{0}, {1}, {2, 3}, {4},    {5},
                                                        {6}, {7}, {0, 1}, {0, 6}, {6, 7}};
    model_ = test::FlatModel(fsm_.get(), kTags, classes, members);
    Reload();
  }
  void Reload() {
    buffer_.reset();
    tagger_ = test::LoadTagger(test::WriteModel("sentence", model_), fsm_.get());
    ASSERT_EQ(vtm_object_error_code(tagger_.get()), 0);
    buffer_.reset(vtmMakeTaggerBuffer(64, 100, tagger_.get()));
    ASSERT_EQ(vtm_object_error_code(buffer_.get()), 0);
  }
  test::TagRun Tag(const Strings& tokens, int flags, VtmClientDict dict = nullptr,
                   int size = 4096) {
    return test::Tag(tagger_.get(), buffer_.get(), tokens, flags, dict, size);
  }
  Strings Tags(const Strings& tokens, int flags, VtmClientDict dict = nullptr) {
    test::TagRun run = Tag(tokens, flags, dict);
    EXPECT_EQ(run.rc, static_cast<int>(tokens.size()));
    return run.out;
  }
  test::FsmPtr fsm_;
  compiler::TaggerModel model_;
  test::TaggerPtr tagger_;
  test::BufferPtr buffer_;
};

TEST_F(SentenceTest, ArgumentChecks) {
  const std::string text = test::Joined({"cat"});
  char out[64];
  VtmTagger t = tagger_.get();
  VtmTaggerBuffer b = buffer_.get();
  EXPECT_EQ(vtm_tag_sentence(nullptr, 1, out, 64, 1, t, b, nullptr, 0), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_tag_sentence(text.data(), 1, nullptr, 64, 1, t, b, nullptr, 0),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_tag_sentence(text.data(), 1, out, 64, 1, nullptr, b, nullptr, 0),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_tag_sentence(text.data(), 1, out, 64, 1, t, nullptr, nullptr, 0),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_tag_sentence(text.data(), 1, out, -1, 1, t, b, nullptr, 0), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_tag_sentence(text.data(), -1, out, 64, 1, t, b, nullptr, 0),
            VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_tag_sentence(text.data(), 1, out, 64, 0, t, b, nullptr, 0),
            VTM_ERR_INVALID_FUNCTION);
  EXPECT_EQ(vtm_tag_sentence(text.data(), 1, out, 64, 8, t, b, nullptr, 0),
            VTM_ERR_INVALID_FUNCTION);
  // Count 0 returns 0 and writes nothing, before the buffer's limit is looked at.
  out[0] = 'X';
  EXPECT_EQ(vtm_tag_sentence(text.data(), 0, out, 64, 1, t, b, nullptr, 0), 0);
  EXPECT_EQ(out[0], 'X');
  test::BufferPtr none(vtm_make_tagger_buffer(0, 10, t));
  EXPECT_EQ(vtm_tag_sentence(text.data(), 0, out, 64, 1, t, none.get(), nullptr, 0), 0);
  EXPECT_EQ(vtm_tag_sentence(text.data(), 1, out, 64, 1, t, none.get(), nullptr, 0),
            VTM_ERR_TOO_MANY_TOKENS);
  test::BufferPtr two(vtm_make_tagger_buffer(2, 10, t));
  EXPECT_EQ(test::Tag(t, two.get(), {"cat", "sat", "on"}, kExact).rc, VTM_ERR_TOO_MANY_TOKENS);
  EXPECT_EQ(test::Tag(t, two.get(), {"cat", "sat"}, kExact).rc, 2);
}

TEST_F(SentenceTest, BlankTokens) {
  EXPECT_EQ(Tags({"cat", " ", "sat"}, kExact), (Strings{"NN", "", "VB"}));
  EXPECT_EQ(buffer_->tagged_count, 2);
  EXPECT_EQ(Tags({" ", "\t", "", "\x1F"}, kAuto), (Strings{"", "", "", ""}));
  EXPECT_EQ(buffer_->tagged_count, 0);
  // A buffer keeps nothing from one sentence to the next.
  EXPECT_EQ(Tags({"cat", "sat"}, kExact), (Strings{"NN", "VB"}));
}

TEST_F(SentenceTest, UnknownWordsGuessingAndClassZero) {
  // "zzz": no rule for lower-case words without a suffix rule; class 0 ([NN]).
  EXPECT_EQ(Tags({"the", "zzz"}, kExact), (Strings{"DT", "NN"}));
  // Suffix rules; the capital-letter rule; characters outside the alphabet: class 0.
  EXPECT_EQ(Tags({"the", "cats", "quickly", "Zorg", "z9"}, kExact),
            (Strings{"DT", "NNS", "JJ", "NP", "NN"}));
}

TEST_F(SentenceTest, TitlePassAndExceptionWords) {
  // Every later word capitalised: a second pass with lower-casing.
  EXPECT_EQ(Tags({"The", "Cat", "Sat", "On", "The", "Mat"}, kAuto),
            (Strings{"DT", "NN", "VB", "IN", "DT", "NN"}));
  // One small word ends the title: one pass, "Sat" is guessed (capital rule).
  EXPECT_EQ(Tags({"The", "cat", "Sat"}, kAuto), (Strings{"DT", "NN", "NP"}));
  // "and" is a title exception only with the camelCase buffer's dictionary.
  EXPECT_EQ(Tags({"War", "and", "Peace"}, kAuto), (Strings{"NN", "IN", "NP"}));
  EXPECT_EQ(Tags({"War", "and", "Peace"}, kAuto, buffer_->title_dict), (Strings{"NN", "IN", "NN"}));
  // With lower-casing alone there is no title test: every capital is tried in small.
  EXPECT_EQ(Tags({"the", "Cat", "Sat"}, kLower), (Strings{"DT", "NN", "VB"}));
}

TEST_F(SentenceTest, CaseVariantsAllCapsAndSentenceStarts) {
  // Exact: a capital is lowered only at the start of a sentence ("Dog" has its own entry,
  // so the start gives both readings: NN and NP).
  EXPECT_EQ(Tags({"Cat", "sat"}, kExact), (Strings{"NN", "VB"}));
  EXPECT_EQ(Tags({"the", "Cat"}, kExact), (Strings{"DT", "NP"}));
  EXPECT_EQ(Tags({"Dog"}, kExact), (Strings{"NN"}));  // class [NN][NP], first member
  // An opening token makes the next word a sentence start; so does an apostrophe word
  // after one.
  EXPECT_EQ(Tags({"the", "``", "Cat"}, kExact), (Strings{"DT", "DT", "NN"}));
  EXPECT_EQ(Tags({"the", ":", "'", "Cat"}, kExact), (Strings{"DT", "NN", "NN", "NN"}));
  // All capitals: first letter kept, the rest lowered.
  EXPECT_EQ(Tags({"the", "DOG"}, kExact), (Strings{"DT", "NP"}));
  EXPECT_EQ(Tags({"the", "DOG"}, kLower), (Strings{"DT", "NN"}));  // {NP, NN}: [NN][NP]
  // Capitalising: with flag 4 alone every small word is tried with a capital.
  EXPECT_EQ(Tags({"the", "paris"}, kUpper), (Strings{"DT", "NP"}));  // {JJ, NP}: [JJ][NP]
  EXPECT_EQ(Tags({"the", "paris"}, kExact), (Strings{"DT", "JJ"}));
  // In auto mode capitalising needs a small first word; a capital first word stops it.
  EXPECT_EQ(Tags({"the", "paris"}, kAuto), (Strings{"DT", "NP"}));
  EXPECT_EQ(Tags({"The", "paris"}, kAuto), (Strings{"DT", "JJ"}));
}

TEST_F(SentenceTest, MultiwordTokens) {
  const int multi = kExact | VTM_TAG_MULTIWORD;
  EXPECT_EQ(Tags({"in", " ", "spite", " ", "of"}, multi),
            (Strings{"__mwt", "", "__mwt", "", "JJ"}));
  EXPECT_EQ(buffer_->tagged_count, 1);
  // Without the flag each word stands alone; the marker is dropped from the key.
  EXPECT_EQ(Tags({"in", "spite", "of"}, kExact), (Strings{"IN", "NN", "NN"}));
  // A prefix that never completes: the longest candidate with real tags wins.
  EXPECT_EQ(Tags({"in", "spite", "the"}, multi), (Strings{"IN", "NN", "DT"}));
  EXPECT_EQ(Tags({"new", "york", "cat"}, multi), (Strings{"__mwt", "NP", "NN"}));
  // The search ends with the sentence.
  EXPECT_EQ(Tags({"the", "in", "spite"}, multi), (Strings{"DT", "IN", "NN"}));
  // Case variants of later words are tried inside a candidate too.
  EXPECT_EQ(Tags({"new", "YORK"}, multi), (Strings{"JJ", "NP"}));  // "new York" only
  EXPECT_EQ(Tags({"new", "YORK"}, multi | kLower), (Strings{"__mwt", "NP"}));
}

TEST_F(SentenceTest, ClientDictionaryComesFirst) {
  VtmClientDict dict = vtm_make_client_dict(0, 0);
  ASSERT_EQ(vtm_add_entry("cat", "[VB]", 0, dict), 0);
  ASSERT_EQ(vtm_add_entry("mat", "[nosuch]", 0, dict), 0);   // not a tag: skipped
  ASSERT_EQ(vtm_add_entry("mat", "plain", 0, dict), 0);      // no tag part: skipped
  ASSERT_EQ(vtm_add_entry("zork", "[NN][VB]", 0, dict), 0);  // two symbols: skipped
  ASSERT_EQ(vtm_add_entry("blorp", "[JJ]", 0, dict), 0);
  EXPECT_EQ(Tags({"the", "cat", "mat", "zork", "blorp"}, kExact, dict),
            (Strings{"DT", "VB", "NN", "NN", "JJ"}));
  ASSERT_EQ(vtm_add_entry("dog", "[VB", 0, dict), 0);  // an unclosed tag is an error
  EXPECT_EQ(Tag({"dog"}, kExact, dict).rc, VTM_ERR_INCOMPLETE_TAG);
  vtm_free_client_dict(dict);
}

TEST_F(SentenceTest, ViterbiTiesAndScores) {
  // All scores equal: the first member of a class wins.
  EXPECT_EQ(Tags({"bark"}, kExact), (Strings{"NN"}));
  // A transition that favours VB after DT.
  model_.transitions[1][4] = -1;  // VB after DT
  model_.transitions[0][4] = -5;  // NN after DT
  Reload();
  EXPECT_EQ(Tags({"the", "bark"}, kExact), (Strings{"DT", "VB"}));
  // The early stop: a row shorter than DT's number ends the search over previous tags,
  // so VB after DT has no score and NN wins again.
  model_.transitions[1].resize(2);
  Reload();
  EXPECT_EQ(Tags({"the", "bark"}, kExact), (Strings{"DT", "NN"}));
}

TEST_F(SentenceTest, TokenBufferAndOutputLimits) {
  // One token: L = 0, so max_chars 2 gives 8 bytes for the text and for its codes
  // (a code per letter, the closing separator and the NUL).
  test::BufferPtr small(vtm_make_tagger_buffer(1, 2, tagger_.get()));
  EXPECT_EQ(test::Tag(tagger_.get(), small.get(), {"cat"}, kExact).rc, 1);
  EXPECT_EQ(test::Tag(tagger_.get(), small.get(), {"catcatca"}, kExact).rc,
            VTM_ERR_TOKEN_BUFFER_TOO_SMALL);  // does not fit the text
  // "NN\0\0VB\0" is 7 bytes.
  EXPECT_EQ(Tag({"cat", " ", "sat"}, kExact, nullptr, 7).rc, 3);
  EXPECT_EQ(Tag({"cat", " ", "sat"}, kExact, nullptr, 6).rc, VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(Tag({"cat"}, kExact, nullptr, 0).rc, VTM_ERR_OUTPUT_TOO_LONG);
}

TEST_F(SentenceTest, ListFormOfVtmTagSentence) {
  const std::string text = test::Joined({"cat", " ", "sat"}, true);
  char out[16];
  VtmTagger t = tagger_.get();
  VtmTaggerBuffer b = buffer_.get();
  ASSERT_EQ(vtmTagSentence(text.data(), out, 16, b, 128, t), 3);
  EXPECT_EQ(std::string(out, 8), std::string("NN\0\0VB\0\0", 8));
  // The list end needs a byte of its own.
  EXPECT_EQ(vtmTagSentence(text.data(), out, 7, b, 128, t), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(vtmTagSentence(text.data(), out, 8, b, 1, t), 3);
  for (int flags : {2 | 4, 1 | 128, 8, 1 | 8, 0}) {
    EXPECT_EQ(vtmTagSentence(text.data(), out, 16, b, flags, t), VTM_ERR_INVALID_FUNCTION) << flags;
  }
  EXPECT_EQ(vtmTagSentence(nullptr, out, 16, b, 1, t), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmTagSentence(text.data(), out, 16, nullptr, 1, t), VTM_ERR_NULL_OBJECT);
  // An empty list: one zero byte, count 0.
  const std::string empty(1, '\0');
  out[0] = 'X';
  EXPECT_EQ(vtmTagSentence(empty.data(), out, 16, b, 4, t), 0);
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(vtmTagSentence(empty.data(), out, 0, b, 4, t), VTM_ERR_OUTPUT_TOO_LONG);
  // 128 behaves as vtm_tag_sentence with 7 and the title dictionary.
  const std::string title = test::Joined({"War", "and", "Peace"}, true);
  char auto_out[32];
  ASSERT_EQ(vtmTagSentence(title.data(), auto_out, 32, b, 128, t), 3);
  EXPECT_EQ(std::string(auto_out, 10), std::string("NN\0IN\0NN\0\0", 10));
}

TEST(TaggerLetters, AllCapsWordsAndOpeningTokens) {
  for (const char* w : {"NATO", "IT", "USA.", "'EM", "-ABC", "A.BCD", "\xC0\xC1"}) {
    EXPECT_TRUE(AllCapsWord(w)) << w;
  }
  for (const char* w : {"U.S.", "A", "AB.", "NaTO", "nato", "1ABC", "\xC0\xE1\xC1", ""}) {
    EXPECT_FALSE(AllCapsWord(w)) << w;
  }
  int opening = 0;
  for (int b = 1; b < 256; ++b) {
    const char token[2] = {static_cast<char>(b), 0};
    opening += IsOpeningToken(token);
  }
  EXPECT_EQ(opening, 25);
  for (const char* t : {":", "\"", "(", "-", "\x93", "\xBF", "--", "``", "''"}) {
    EXPECT_TRUE(IsOpeningToken(t)) << t;
  }
  for (const char* t : {")", ".", "---", "'", "''x", "", "a"}) EXPECT_FALSE(IsOpeningToken(t)) << t;
  // Case mapping of the three pairs outside the regular ranges.
  EXPECT_EQ(ToSmall(0x8A), 0x9A);
  EXPECT_EQ(ToSmall(0x9F), 0xFF);
  EXPECT_EQ(ToCapital(0xFF), 0x9F);
  EXPECT_EQ(ToCapital(0xF7), 0xF7);
  EXPECT_EQ(ToSmall(0xD7), 0xD7);
  EXPECT_TRUE(IsSmall(0xDF) == false && IsCapital(0xDE) && IsSmall(0xFF));
}

TEST(TaggerScores, SaturatingAddition) {
  EXPECT_EQ(ScoreAdd(-5, 0), -5);
  EXPECT_EQ(ScoreAdd(0, 0), INT_MIN);
  EXPECT_EQ(ScoreAdd(INT_MIN, -1), INT_MIN);               // wraps to INT_MAX
  EXPECT_EQ(ScoreAdd(-1073741824, -1073741824), INT_MIN);  // exactly the lowest
  EXPECT_EQ(ScoreAdd(-1073741824, -1073741825), INT_MIN);  // wraps to 2^31 - 1
  EXPECT_EQ(ScoreAdd(5, -3), INT_MIN);
  EXPECT_EQ(ScoreAdd(3, -5), -2);
  EXPECT_EQ(ScoreAdd(INT_MAX, INT_MAX), -2);  // wraps into the negative range: kept
}

}  // namespace
}  // namespace vtm
