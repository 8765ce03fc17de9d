// Tests of the bundled English tokenizer transducers en-brown.vtm and en-ptb.vtm (built
// from data/en/*.foma into the build's share/vtmrt): the conventions of each on examples,
// every byte 0x21-0xFF readable alone and inside words, on random chunks every byte of
// the input kept, in order, in exactly one token, and the tokenizer's cache of chunk
// outputs giving what the walk gives. The agreement with NLTK on real text
// is checked by scripts/test.d/tokenize_english.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/token_fixtures.h"
#include "token/tokenizer.h"
#include "vtmrt.h"

namespace vtm::test {
namespace {

#ifdef VTM_ENGLISH_TOKENIZERS_DIR

struct English {
  FsmPtr fsm;
  TokenizerPtr tk;
  explicit English(const char* name) {
    const std::string path = std::string(VTM_ENGLISH_TOKENIZERS_DIR) + "/" + name;
    fsm = Open(path);
    tk.reset(vtm_make_tokenizer(fsm.get(), 0, nullptr));
  }
  // The texts of the tokens of one final call, which must consume the whole text.
  std::vector<std::string> Tokens(const std::string& text) const {
    TokenizeRun r = Tokenize(tk.get(), text, VTM_TOKENIZE_FINAL, 1024, 1 << 16);
    EXPECT_EQ(r.rc, static_cast<int>(text.size())) << Escaped(text);
    std::vector<std::string> out;
    for (const TokenOut& t : r.tokens)
      out.push_back(t.norm_offset == -1 ? text.substr(static_cast<std::size_t>(t.offset),
                                                      static_cast<std::size_t>(t.length))
                                        : t.norm);
    return out;
  }
  static std::string Escaped(const std::string& text) {
    std::string s;
    for (unsigned char c : text) {
      char b[8];
      std::snprintf(b, sizeof b, c > 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
      s += b;
    }
    return s;
  }
};

using Expected = std::vector<std::pair<std::string, std::vector<std::string>>>;

void ExpectTokens(const English& e, const Expected& cases) {
  for (const auto& [text, want] : cases) EXPECT_EQ(e.Tokens(text), want) << text;
}

TEST(EnglishTokenizers, PennTreebankConventions) {
  English ptb("en-ptb.vtm");
  ASSERT_EQ(vtm_object_error_code(ptb.tk.get()), 0);
  ExpectTokens(
      ptb,
      {
          {"Don't stop, Mr. Smith.", {"Do", "n't", "stop", ",", "Mr.", "Smith", "."}},
          {"I'm John's; can't", {"I", "'m", "John", "'s", ";", "ca", "n't"}},
          {"the students' books", {"the", "students", "'", "books"}},
          {"we'll they're you've he'd", {"we", "'ll", "they", "'re", "you", "'ve", "he", "'d"}},
          {"her--not you.. I... end", {"her", "--", "not", "you..", "I", "...", "end"}},
          {"(U.S.) \"Hello\" [x]", {"(", "U.S.", ")", "\"", "Hello", "\"", "[", "x", "]"}},
          {"$3.88 3,000 x,y 12:30 a:b",
           {"$", "3.88", "3,000", "x", ",", "y", "12:30", "a", ":", "b"}},
          {"&lt; 100% a&b x@y #1",
           {"&", "lt", ";", "100", "%", "a", "&", "b", "x", "@", "y", "#", "1"}},
          // Words NLTK splits in two reach the transducer only inside a chunk (cannot! is
          // a plain word and a mark for the byte scanner).
          {"cannot. gonna. 'Tis cannot!",
           {"can", "not", ".", "gon", "na", ".", "'T", "is", "cannot", "!"}},
          {"and/or e.g. etc. end.", {"and/or", "e.g.", "etc.", "end", "."}},
          // Split words are set apart from their neighbours too; wanna only before a
          // space.
          {"gimme-gimme, gonna'I wanna\x85wanna d'ye 'Twas more'n.",
           {"gim", "me", "-", "gim", "me", ",", "gon", "na", "'I", "wanna\x85", "wan", "na", "d",
            "'ye", "'T", "was", "more", "'n", "."}},
      });
}

TEST(EnglishTokenizers, BrownConventions) {
  English brown("en-brown.vtm");
  ASSERT_EQ(vtm_object_error_code(brown.tk.get()), 0);
  ExpectTokens(brown, {
                          {"Don't stop, Mr. Smith.", {"Don't", "stop", ",", "Mr.", "Smith", "."}},
                          {"I'm the man's U.S. p.m. J. end.",
                           {"I'm", "the", "man's", "U.S.", "p.m.", "J.", "end", "."}},
                          {"1,000 3.14 12:30 1960's", {"1,000", "3.14", "12:30", "1960's"}},
                          {"well-known -- ... a--b", {"well-known", "--", "...", "a", "--", "b"}},
                          {"24-hr. year-'round tug-o'-war, 6-ft.",
                           {"24-hr.", "year-'round", "tug-o'-war", ",", "6-ft."}},
                          {"http://example.com/a?b=c. me@example.org",
                           {"http://example.com/a?b=c", ".", "me@example.org"}},
                      });
}

// en-brown reads the character references of HTML whose character is in the code page:
// the token carries the character in its normalized form and spans the reference. A
// token whose form begins as its input does ("&amp;" read as "&") spans only what it
// matched; references outside the code page stay one token as written.
TEST(EnglishTokenizers, BrownReadsCharacterReferences) {
  English brown("en-brown.vtm");
  ASSERT_EQ(vtm_object_error_code(brown.tk.get()), 0);
  ExpectTokens(
      brown,
      {
          {"caf&eacute; don&#8217;t &lt;b&gt; &#xE9;t&#233; &rarr; AT&T",
           {"caf\xE9", "don\x92t", "<", "b", ">", "\xE9t\xE9", "&rarr;", "AT", "&", "T"}},
          {"Q&amp;A x&nbsp;y &AMP; &#X2014;", {"Q", "&", "A", "x", "\xA0", "y", "&", "\x97"}},
      });
  const std::string text = "caf&eacute; &lt;b &amp;";
  TokenizeRun r = Tokenize(brown.tk.get(), text, VTM_TOKENIZE_FINAL, 64, 1024);
  ASSERT_EQ(r.rc, static_cast<int>(text.size()));
  auto norm = [](int offset, int length, unsigned k, const char* form) {
    return TokenOut{offset, length, k, 0, form};
  };
  std::vector<TokenOut> want = {norm(0, 11, VTM_TOKEN_WORD, "caf\xE9"),
                                norm(12, 4, VTM_TOKEN_PUNCT, "<"),
                                {16, 1, VTM_TOKEN_WORD, -1, ""},
                                {18, 1, VTM_TOKEN_PUNCT, -1, ""}};
  ASSERT_EQ(r.tokens.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(r.tokens[i].offset, want[i].offset) << i;
    EXPECT_EQ(r.tokens[i].length, want[i].length) << i;
    EXPECT_EQ(r.tokens[i].class_bits, want[i].class_bits) << i;
    EXPECT_EQ(r.tokens[i].norm_offset == -1, want[i].norm_offset == -1) << i;
    EXPECT_EQ(r.tokens[i].norm, want[i].norm) << i;
  }
}

// Every byte 0x21-0xFF alone, doubled, and inside, before and after a word: the call
// consumes the whole text and every record lies in it, in order.
TEST(EnglishTokenizers, EveryByteIsReadAloneAndInsideWords) {
  int compared = 0;
  for (const char* name : {"en-brown.vtm", "en-ptb.vtm"}) {
    English e(name);
    ASSERT_EQ(vtm_object_error_code(e.tk.get()), 0) << name;
    for (int b = 0x21; b <= 0xFF; ++b) {
      const std::string c(1, static_cast<char>(b));
      for (const std::string& text : {c, c + c, "ab" + c + "cd", c + "ab", "ab" + c}) {
        TokenizeRun r = Tokenize(e.tk.get(), text, VTM_TOKENIZE_FINAL);
        ASSERT_EQ(r.rc, static_cast<int>(text.size())) << name << " " << English::Escaped(text);
        ASSERT_GE(r.count, 1);
        int end = 0;
        for (const TokenOut& t : r.tokens) {
          EXPECT_GE(t.offset, end) << name << " " << English::Escaped(text);
          end = t.offset + t.length;
        }
        EXPECT_LE(end, static_cast<int>(text.size()));
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 2 * 223 * 5);
}

// Random chunks of bytes 0x21-0xFF (with word characters and common marks more likely):
// neither transducer drops or changes a byte, so the tokens, joined, give the text back,
// and each token is its own span of input. (Without ";" for en-brown, which reads
// character references such as "&#33;".)
TEST(EnglishTokenizers, RandomChunksKeepEveryByte) {
  static const std::string kCommon = "aeiouxyzAEIOU0123456789.,;:'\"-/()&$%!?@#*\x85\x92\x93\x94";
  std::mt19937 rng(20261209);
  std::uniform_int_distribution<int> length(1, 14), any(0x21, 0xFF), coin(0, 2),
      common(0, static_cast<int>(kCommon.size()) - 1);
  int compared = 0;
  for (const char* name : {"en-brown.vtm", "en-ptb.vtm"}) {
    English e(name);
    ASSERT_EQ(vtm_object_error_code(e.tk.get()), 0) << name;
    for (int round = 0; round < 3000; ++round) {
      std::string text;
      for (int k = length(rng); k > 0; --k)
        text.push_back(coin(rng) == 0 ? static_cast<char>(any(rng))
                                      : kCommon[static_cast<std::size_t>(common(rng))]);
      if (std::string(name) == "en-brown.vtm") std::replace(text.begin(), text.end(), ';', ':');
      TokenizeRun r = Tokenize(e.tk.get(), text, VTM_TOKENIZE_FINAL);
      ASSERT_EQ(r.rc, static_cast<int>(text.size())) << name << " " << English::Escaped(text);
      std::string joined;
      int end = 0;
      for (const TokenOut& t : r.tokens) {
        EXPECT_EQ(t.norm_offset, -1) << name << " " << English::Escaped(text);
        EXPECT_EQ(t.offset, end) << name << " " << English::Escaped(text);
        end = t.offset + t.length;
        joined +=
            text.substr(static_cast<std::size_t>(t.offset), static_cast<std::size_t>(t.length));
      }
      EXPECT_EQ(joined, text) << name;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 6000);
}

// The tokenizer's cache of chunk outputs gives what the walk gives: texts drawn from a
// pool of random chunks (so that chunks repeat and cache slots are shared) get the
// same records from a tokenizer with the cache as from one without it.
TEST(EnglishTokenizers, ChunkCacheGivesTheWalksOutputs) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> length(1, 26), any(0x21, 0xFF), coin(0, 3), words(1, 6);
  static const std::string kCommon = "abcdeIMnst'.,-:;\"()$%&019";
  std::uniform_int_distribution<int> common(0, static_cast<int>(kCommon.size()) - 1);
  // An eighth as many chunks as cache slots (4096 in 32768): many repeats, and a few
  // hundred shared slots.
  std::vector<std::string> chunks(ChunkCache::kEntries / 8);
  for (std::string& c : chunks) {
    for (int k = length(rng); k > 0; --k)
      c.push_back(coin(rng) == 0 ? static_cast<char>(any(rng))
                                 : kCommon[static_cast<std::size_t>(common(rng))]);
  }
  std::uniform_int_distribution<std::size_t> pick(0, chunks.size() - 1);
  int compared = 0;
  for (const char* name : {"en-brown.vtm", "en-ptb.vtm"}) {
    English cached(name), walked(name);
    // The records are read directly below: a tokenizer that failed to open is an error
    // object, not a tokenizer.
    ASSERT_EQ(vtm_object_error_code(cached.tk.get()), 0) << name;
    ASSERT_EQ(vtm_object_error_code(walked.tk.get()), 0) << name;
    ASSERT_NE(cached.tk->chunk_cache, nullptr);
    delete walked.tk->chunk_cache;
    walked.tk->chunk_cache = nullptr;
    for (int round = 0; round < 4000; ++round) {
      std::string text;
      for (int k = words(rng); k > 0; --k) text += chunks[pick(rng)] + " ";
      TokenizeRun a = Tokenize(cached.tk.get(), text, VTM_TOKENIZE_FINAL, 1024, 1 << 16);
      TokenizeRun b = Tokenize(walked.tk.get(), text, VTM_TOKENIZE_FINAL, 1024, 1 << 16);
      ASSERT_EQ(a.rc, b.rc) << English::Escaped(text);
      ASSERT_EQ(a.tokens, b.tokens) << English::Escaped(text);
      ++compared;
    }
    // The cache was in use: many of the pool's chunks (those the scanner hands over
    // whole) are in it.
    int cached_chunks = 0;
    for (const std::string& c : chunks)
      cached_chunks +=
          cached.tk->chunk_cache->Find(c.data(), static_cast<int>(c.size())) != nullptr;
    EXPECT_GT(cached_chunks, static_cast<int>(chunks.size()) * 2 / 5) << name;
  }
  EXPECT_EQ(compared, 8000);
}

#else

TEST(EnglishTokenizers, NotBuilt) {
  GTEST_SKIP() << "the English tokenizers need foma";
}

#endif

}  // namespace
}  // namespace vtm::test
