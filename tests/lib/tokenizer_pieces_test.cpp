// Differential and protocol properties of the tokenizer on random texts (random bytes,
// and random HTML built from a list of tags and words):
// - single calls agree with the reference tokenizer of tests/support (every flag,
//   final and non-final pieces, with and without a tag dictionary);
// - the pieces property: feeding the text in random non-final pieces under the calling
//   protocol (unconsumed bytes carried over, records and strings grown when a call at
//   byte 0 cannot proceed), with small record arrays and string buffers, gives exactly
//   the tokens (offsets mapped back, normalized forms) of calls on the whole text.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "support/token_fixtures.h"
#include "support/token_reference.h"

namespace vtm {
namespace {

using namespace vtm::test;

const std::vector<std::pair<std::string, std::string>> kTagEntries = {
    {"script", "[html-tag-inhibit]"},
    {"style", "[html-tag-inhibit]"},
    {"style", "[html-tag-keep]"},
    {"p", "[html-para]"},
    {"br", "[html-para]"},
    {"br", "[html-sent]"},
    {"b", "[html-tag-keep]"},
    {"title", "[html-sent]"},
    {"!--", "[html-tag-keep]"}};

TagTable Table() {
  TagTable t;
  for (const auto& [k, v] : kTagEntries) t[k].insert(v);
  return t;
}

std::string RandomBytes(std::mt19937& rng) {
  static const std::string kPool =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789          \n\n\r\t"
      ".,;:!?'\"()-[]{}<>/&`\x85\x91\x92\x93\x94\xA1\xAB\xBB\xBF\xC9\xE9\xD7\xF7\x8A\x9F";
  std::uniform_int_distribution<int> length(0, 40), pick(0, static_cast<int>(kPool.size()) - 1),
      rare(0, 60);
  std::string s;
  for (int k = length(rng); k > 0; --k) {
    const int r = rare(rng);
    if (r == 0) {
      s.push_back(static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng)));
    } else if (r == 1) {
      s.push_back('\x81');  // outside the identity alphabet
    } else {
      s.push_back(kPool[static_cast<std::size_t>(pick(rng))]);
    }
  }
  return s;
}

std::string RandomHtml(std::mt19937& rng) {
  static const std::vector<std::string> kParts = {"<p>",
                                                  "</p>",
                                                  "<b>",
                                                  "</b>",
                                                  "<script>",
                                                  "</script>",
                                                  "<SCRIPT type=x>",
                                                  "<!-- c -->",
                                                  "<!--",
                                                  "-->",
                                                  "<br/>",
                                                  "<br>",
                                                  "<",
                                                  ">",
                                                  "<a href='x'>",
                                                  "</a>",
                                                  "<style>",
                                                  "</style>",
                                                  "<title>",
                                                  "<i",
                                                  "word",
                                                  "Word",
                                                  "x",
                                                  "don't",
                                                  "e.g.",
                                                  "3.14",
                                                  "(",
                                                  ")",
                                                  ",",
                                                  ".",
                                                  "!",
                                                  "\"",
                                                  " ",
                                                  " ",
                                                  " ",
                                                  "\n",
                                                  "\r\n",
                                                  "\n\n",
                                                  "Q.U",
                                                  "a-b",
                                                  "<!---->",
                                                  "\x81",
                                                  "\t"};
  std::uniform_int_distribution<int> count(0, 14), pick(0, static_cast<int>(kParts.size()) - 1);
  std::string s;
  for (int k = count(rng); k > 0; --k) s += kParts[static_cast<std::size_t>(pick(rng))];
  return s;
}

// A transducer that splits "." and "'" off with a space before them and writes "QU"
// for "Q" (a departure from the input), else copies: every chunk gets one result.
std::string SplitterAtt() {
  std::string att = IdentityAtt();
  std::string out;
  for (std::size_t start = 0; start < att.size();) {
    std::size_t end = att.find('\n', start);
    std::string line = att.substr(start, end - start);
    start = end + 1;
    if (line == "0\t0\t.\t." || line == "0\t0\t'\t'" || line == "0\t0\tQ\tQ") continue;
    out += line + "\n";
  }
  out += "0\t1\t@0@\t@_SPACE_@\n1\t0\t.\t.\n1\t0\t'\t'\n0\t2\tQ\tQ\n2\t0\t@0@\tU\n";
  return out;
}

struct Collected {
  std::vector<TokenOut> tokens;  // offsets in the whole text; norm_offset reset to 0
  int error = 0;
  int error_at = -1;
  bool operator==(const Collected&) const = default;
};

void Append(Collected* c, const TokenizeRun& run, int base) {
  for (TokenOut t : run.tokens) {
    t.offset += base;
    if (t.norm_offset != -1) t.norm_offset = 0;
    c->tokens.push_back(t);
  }
}

// Calls the tokenizer on `text` split at `cuts` (piece ends, increasing), the last piece
// final, under the calling protocol.
Collected Feed(VtmTokenizer tk, const std::string& text, const std::vector<std::size_t>& cuts,
               int flags, int capacity, int strings_size) {
  Collected c;
  std::string pending;
  int base = 0;
  std::size_t from = 0;
  for (std::size_t k = 0; k <= cuts.size(); ++k) {
    const std::size_t to = k < cuts.size() ? cuts[k] : text.size();
    pending += text.substr(from, to - from);
    from = to;
    const bool final = k == cuts.size();
    for (int guard = 0; guard < 10000; ++guard) {
      TokenizeRun run =
          Tokenize(tk, pending, flags | (final ? VTM_TOKENIZE_FINAL : 0), capacity, strings_size);
      if (run.rc == VTM_ERR_OUTPUT_TOO_LONG) {  // a chunk at byte 0 needs more room
        capacity = capacity * 2 + 1;
        strings_size = strings_size * 2 + 1;
        continue;
      }
      if (run.rc < 0) {
        c.error = run.rc;
        c.error_at = base;
        return c;
      }
      Append(&c, run, base);
      base += run.rc;
      pending.erase(0, static_cast<std::size_t>(run.rc));
      if (!final) break;
      if (pending.empty()) return c;
      if (run.rc == 0 && run.count == 0) capacity = capacity * 2 + 1;
    }
    if (final) ADD_FAILURE() << "no progress";
  }
  return c;
}

struct Tokenizers {
  FsmPtr fsm;
  DictPtr dict = TagDict(kTagEntries);
  TokenizerPtr with_dict, without_dict;
  explicit Tokenizers(const std::string& att) : fsm(BuildTokenizerFsm(att)) {
    with_dict.reset(vtm_make_tokenizer(fsm.get(), 0, dict.get()));
    without_dict.reset(vtm_make_tokenizer(fsm.get(), 0, nullptr));
  }
};

TEST(TokenizerReference, SingleCallsAgreeOnRandomTexts) {
  Tokenizers s(IdentityAtt());
  const TagTable table = Table(), none;
  std::mt19937 rng(1401);
  int compared = 0, with_tokens = 0;
  for (int c = 0; c < 6000; ++c) {
    const bool html = c % 2 == 1;
    const std::string text = html ? RandomHtml(rng) : RandomBytes(rng);
    const int flags = static_cast<int>(rng() % 8) | (html ? VTM_TOKENIZE_HTML : 0);
    const bool use_dict = rng() % 2 == 0;
    TokenizeRun got =
        Tokenize(use_dict ? s.with_dict.get() : s.without_dict.get(), text, flags, 1024, 16);
    ReferenceRun want = ReferenceTokenize(text, flags, use_dict ? table : none);
    ASSERT_EQ(got.rc, want.rc) << "flags " << flags << " text [" << text << "]";
    if (got.rc >= 0) {
      ASSERT_EQ(got.tokens, want.tokens)
          << "flags " << flags << " text [" << text << "]\n got  " << Describe(got.tokens)
          << "\n want " << Describe(want.tokens);
    } else {
      ASSERT_EQ(got.count, 0);
    }
    ++compared;
    with_tokens += !want.tokens.empty();
  }
  EXPECT_EQ(compared, 6000);
  EXPECT_GT(with_tokens, 4000);
}

// Texts of long runs of word characters (up to 30, of every word byte class) between
// other bytes, for the scanner's eight-byte path over words.
std::string RandomWordy(std::mt19937& rng) {
  static const std::string kWord = "abzAMZ059\xC0\xD6\xD8\xF6\xF8\xFF";
  static const std::string kOther =
      " \n\r\t\x01.,;:!?'\"()-[]{}<>/&@`\x85\x91\xD7\xF7\x8A\xBB\xBF\x7F";
  std::uniform_int_distribution<int> runs(0, 8), run(0, 30), other(1, 3);
  std::string s;
  for (int r = runs(rng); r > 0; --r) {
    for (int k = run(rng); k > 0; --k) s.push_back(kWord[rng() % kWord.size()]);
    for (int k = other(rng); k > 0; --k) s.push_back(kOther[rng() % kOther.size()]);
  }
  return s;
}

TEST(TokenizerReference, LongWordRunsAgree) {
  Tokenizers s(IdentityAtt());
  const TagTable table = Table();
  std::mt19937 rng(1402);
  int compared = 0, long_words = 0;
  for (int c = 0; c < 4000; ++c) {
    const std::string text = RandomWordy(rng);
    const int flags = static_cast<int>(rng() % 8);
    TokenizeRun got = Tokenize(s.with_dict.get(), text, flags, 1024, 1 << 12);
    ReferenceRun want = ReferenceTokenize(text, flags, table);
    ASSERT_EQ(got.rc, want.rc) << "flags " << flags << " text [" << text << "]";
    ASSERT_EQ(got.tokens, want.tokens)
        << "flags " << flags << " text [" << text << "]\n got  " << Describe(got.tokens)
        << "\n want " << Describe(want.tokens);
    ++compared;
    for (const TokenOut& t : want.tokens)
      long_words += t.class_bits == VTM_TOKEN_WORD && t.length > 8;
  }
  EXPECT_EQ(compared, 4000);
  EXPECT_GT(long_words, 600);  // word tokens of more than eight bytes
}

// Running text: words of word characters, mostly with a single space between them, and
// now and then two spaces, a tab, a line break, marks before or after a word (alone or
// before whitespace of any kind), a chunk, a tag; up to some 600 bytes, so that the scanner's word
// path over 64-byte blocks meets block ends, piece ends and the record array filling up anywhere.
std::string RandomProse(std::mt19937& rng) {
  static const std::string kWord = "etaoinsrhldcumETAOIN0123456789\xC9\xE9\xFF";
  static const std::vector<std::string> kBetween = {
      " ",      " ",    " ",      " ",   " ",  " ",   " ",   "  ",  "\t",  "\n",  " \r\n",
      "\n\n",   ", ",   ". ",     "\" ", " (", ") ",  "<b>", " <",  "'s ", "-",   ".",
      " \x85 ", "\x01", " \x81 ", "; ",  "! ", "?\n", ": ",  "), ", ",  ", ",\t", "\xBB "};
  std::uniform_int_distribution<int> words(0, 120), letters(1, 12), between(0, 9);
  std::string s;
  for (int w = words(rng); w > 0; --w) {
    for (int k = letters(rng); k > 0; --k) s.push_back(kWord[rng() % kWord.size()]);
    s += between(rng) > 0 ? std::string(" ") : kBetween[rng() % kBetween.size()];
  }
  return s;
}

TEST(TokenizerReference, RunningTextAgrees) {
  Tokenizers s(IdentityAtt());
  const TagTable table = Table();
  std::mt19937 rng(1403);
  int compared = 0, long_texts = 0;
  for (int c = 0; c < 3000; ++c) {
    const std::string text = RandomProse(rng);
    const int flags = static_cast<int>(rng() % 8);
    // Now and then a record array that fills up inside the text.
    const int capacity = rng() % 4 == 0 ? static_cast<int>(rng() % 60) : 4096;
    TokenizeRun got = Tokenize(s.with_dict.get(), text, flags, capacity, 1 << 12);
    ReferenceRun want = ReferenceTokenize(text, flags, table);
    if (capacity < static_cast<int>(want.tokens.size()) && want.rc >= 0) {
      // The reference has no capacity: the call stops at the first token that did not
      // fit, with the tokens before it (a token group may be taken back whole).
      ASSERT_LE(got.tokens.size(), static_cast<std::size_t>(capacity));
      ASSERT_TRUE(std::equal(got.tokens.begin(), got.tokens.end(), want.tokens.begin()))
          << "flags " << flags << " capacity " << capacity << " text [" << text << "]";
      ASSERT_LE(got.rc, want.rc);
      continue;
    }
    ASSERT_EQ(got.rc, want.rc) << "flags " << flags << " text [" << text << "]";
    ASSERT_EQ(got.tokens, want.tokens)
        << "flags " << flags << " text [" << text << "]\n got  " << Describe(got.tokens)
        << "\n want " << Describe(want.tokens);
    ++compared;
    long_texts += text.size() > 256;
  }
  EXPECT_GT(compared, 2000);
  EXPECT_GT(long_texts, 1000);
}

void PiecesProperty(const std::string& att, uint32_t seed, int* compared, int* split_cases) {
  Tokenizers s(att);
  std::mt19937 rng(seed);
  for (int c = 0; c < 2500; ++c) {
    const bool html = c % 2 == 1;
    const std::string text = html ? RandomHtml(rng) + RandomHtml(rng) : RandomBytes(rng);
    const int flags = (html ? VTM_TOKENIZE_HTML : 0) | (rng() % 3 == 0 ? 4 : 0);
    VtmTokenizer tk = rng() % 2 == 0 ? s.with_dict.get() : s.without_dict.get();
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0;;) {
      at += std::uniform_int_distribution<std::size_t>(0, 6)(rng);
      if (at >= text.size()) break;
      cuts.push_back(at);
    }
    const Collected whole = Feed(tk, text, {}, flags, 4096, 4096);
    const int capacity = static_cast<int>(rng() % 4);
    const int strings_size = static_cast<int>(rng() % 6);
    const Collected pieces = Feed(tk, text, cuts, flags, capacity, strings_size);
    ASSERT_EQ(pieces, whole) << "flags " << flags << " text [" << text << "] pieces "
                             << cuts.size() + 1 << "\n pieces " << Describe(pieces.tokens)
                             << "\n whole  " << Describe(whole.tokens);
    ++*compared;
    *split_cases += !cuts.empty() && !whole.tokens.empty();
  }
}

TEST(TokenizerPieces, RandomPiecesGiveTheTokensOfOneCall) {
  int compared = 0, split = 0;
  PiecesProperty(IdentityAtt(), 77, &compared, &split);
  PiecesProperty(SplitterAtt(), 78, &compared, &split);
  EXPECT_EQ(compared, 5000);
  EXPECT_GT(split, 3000);
}

// Running text in random pieces (cuts up to 100 bytes apart) with small record arrays:
// the word path stops where a piece ends or the array fills up as the bytewise steps do.
TEST(TokenizerPieces, RunningTextInPiecesGivesTheTokensOfOneCall) {
  Tokenizers s(SplitterAtt());
  std::mt19937 rng(79);
  int compared = 0, split = 0;
  for (int c = 0; c < 1500; ++c) {
    const std::string text = RandomProse(rng);
    const int flags = rng() % 2 == 0 ? 0 : VTM_TOKENIZE_HTML;
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0;;) {
      at += std::uniform_int_distribution<std::size_t>(1, 100)(rng);
      if (at >= text.size()) break;
      cuts.push_back(at);
    }
    const Collected whole = Feed(s.without_dict.get(), text, {}, flags, 4096, 4096);
    const int capacity = static_cast<int>(rng() % 40);
    const Collected pieces = Feed(s.without_dict.get(), text, cuts, flags, capacity, 64);
    ASSERT_EQ(pieces, whole) << "flags " << flags << " text [" << text << "]";
    ++compared;
    split += !cuts.empty() && whole.tokens.size() > 20;
  }
  EXPECT_EQ(compared, 1500);
  EXPECT_GT(split, 1000);
}

}  // namespace
}  // namespace vtm
