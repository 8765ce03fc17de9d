// The tokenizer's byte scanner over plain text: making and freeing tokenizers, argument
// checks, whitespace and line breaks, words and punctuation classes, non-final pieces
// and the record array filling up. Chunks go through an identity transducer here, so a
// chunk comes back as one token.
#include <gtest/gtest.h>

#include <random>

#include "support/token_fixtures.h"
#include "token/byte_blocks.h"
#include "token/char_classes.h"
#include "token/tokenizer.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Tokens = std::vector<TokenOut>;

TokenOut T(int offset, int length, unsigned k) {
  return TokenOut{offset, length, k, -1, ""};
}

class Scan : public ::testing::Test {
 protected:
  void SetUp() override {
    fsm_ = BuildTokenizerFsm(IdentityAtt());
    tk_.reset(vtm_make_tokenizer(fsm_.get(), 0, nullptr));
    ASSERT_EQ(vtm_object_error_code(tk_.get()), 0);
  }
  TokenizeRun Run(const std::string& text, int flags = VTM_TOKENIZE_FINAL, int capacity = 64) {
    return Tokenize(tk_.get(), text, flags, capacity);
  }
  FsmPtr fsm_;
  TokenizerPtr tk_;
};

TEST(MakeTokenizer, ChecksTransducerDictionaryAndCapability) {
  FsmPtr fsm = BuildTokenizerFsm(IdentityAtt());
  EXPECT_EQ(vtm_object_error_code(vtm_make_tokenizer(nullptr, 0, nullptr)), VTM_ERR_INVALID_FSM);
  EXPECT_EQ(vtm_object_error_code(
                vtm_make_tokenizer(static_cast<VtmFsm>(vtm_error_object(-3)), 0, nullptr)),
            VTM_ERR_INVALID_FSM);
  // The transducer is checked before the dictionary.
  auto bad_dict = static_cast<VtmClientDict>(vtm_error_object(VTM_ERR_NO_MEMORY));
  EXPECT_EQ(vtm_object_error_code(vtm_make_tokenizer(nullptr, 0, bad_dict)), VTM_ERR_INVALID_FSM);
  EXPECT_EQ(vtm_object_error_code(vtm_make_tokenizer(fsm.get(), 0, bad_dict)),
            VTM_ERR_INVALID_CLIENT_DICT);
  // A transducer without function 28 has no tokenizing capability.
  FsmPtr lookup_only = Open(WriteSpec("no28.vtm", BasicSpec()));
  ASSERT_EQ(vtm_object_error_code(lookup_only.get()), 0);
  EXPECT_EQ(vtm_object_error_code(vtm_make_tokenizer(lookup_only.get(), 0, nullptr)),
            VTM_ERR_INVALID_FUNCTION);
  DictPtr dict = TagDict({{"p", "[html-para]"}});
  TokenizerPtr tk(vtm_make_tokenizer(fsm.get(), 77, dict.get()));
  ASSERT_EQ(vtm_object_error_code(tk.get()), 0);
  EXPECT_EQ(tk->fsm, fsm.get());
  EXPECT_EQ(tk->tag_dict, dict.get());
  EXPECT_EQ(tk->lookup_option, 77);
  EXPECT_EQ(tk->scratch_size, 1024u);
  // Freeing ignores null and error objects.
  vtm_free_tokenizer(nullptr);
  vtm_free_tokenizer(static_cast<VtmTokenizer>(vtm_error_object(-5)));
}

TEST_F(Scan, ArgumentChecksLeaveTheCountUnwritten) {
  VtmToken records[4];
  char strings[8];
  int count = 99;
  EXPECT_EQ(vtm_tokenize(nullptr, 1, tk_.get(), 1, records, 4, strings, 8, &count),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_tokenize("a", 1, nullptr, 1, records, 4, strings, 8, &count), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_tokenize("a", 1, tk_.get(), 1, nullptr, 4, strings, 8, &count),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_tokenize("a", 1, tk_.get(), 1, records, 4, nullptr, 8, &count),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_tokenize("a", 1, tk_.get(), 1, records, 4, strings, 8, nullptr),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_tokenize("a", 1, static_cast<VtmTokenizer>(vtm_error_object(-6)), 1, records, 4,
                         strings, 8, &count),
            -6);
  EXPECT_EQ(vtm_tokenize("a", -1, tk_.get(), 1, records, 4, strings, 8, &count),
            VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_tokenize("a", 1, tk_.get(), 1, records, -1, strings, 8, &count),
            VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_tokenize("a", 1, tk_.get(), 1, records, 4, strings, -1, &count),
            VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(count, 99);
  // Length 0 consumes nothing and writes no record.
  EXPECT_EQ(vtm_tokenize("", 0, tk_.get(), 1, records, 4, strings, 8, &count), 0);
  EXPECT_EQ(count, 0);
}

TEST_F(Scan, WhitespaceAndLineBreaks) {
  TokenizeRun r = Run("a\n\n");
  EXPECT_EQ(r.rc, 3);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 1, 0x001), T(1, 2, 0x120)}));
  // The line-break token starts at the first line break and takes the spaces after it.
  r = Run("a  \r\n  b");
  EXPECT_EQ(r.tokens, (Tokens{T(0, 1, 1), T(3, 4, 0x020), T(7, 1, 1)}));
  r = Run("a  \r\n  b", VTM_TOKENIZE_FINAL | VTM_TOKENIZE_LINE_PARAGRAPH);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 1, 1), T(3, 4, 0x120), T(7, 1, 1)}));
  // Two LF or two CR bytes make a paragraph; one of each does not.
  EXPECT_EQ(Run("x\r\n\r\ny").tokens[1], T(1, 4, 0x120));
  EXPECT_EQ(Run("x\r\ry").tokens[1], T(1, 2, 0x120));
  EXPECT_EQ(Run("x\n\ry").tokens[1], T(1, 2, 0x020));
  // Control bytes and NUL are whitespace; whitespace without a line break is no token.
  EXPECT_EQ(Run(std::string("a\0\t\x1f b", 6)).tokens, (Tokens{T(0, 1, 1), T(5, 1, 1)}));
  EXPECT_EQ(Run("   ").tokens, Tokens{});
  EXPECT_EQ(Run("   ").rc, 3);
  // Line breaks are not tokens in HTML text.
  EXPECT_EQ(Run("a\n\nb", VTM_TOKENIZE_FINAL | VTM_TOKENIZE_HTML).tokens,
            (Tokens{T(0, 1, 1), T(3, 1, 1)}));
}

TEST_F(Scan, WordsAndPunctuationClasses) {
  EXPECT_EQ(Run("(word),").tokens,
            (Tokens{T(0, 1, 0x0A), T(1, 4, 1), T(5, 1, 0x06), T(6, 1, 0x06)}));
  EXPECT_EQ(Run("why?!").tokens, (Tokens{T(0, 3, 1), T(3, 1, 0x16), T(4, 1, 0x16)}));
  // A quotation mark is opening before a word and closing after one.
  EXPECT_EQ(Run("\"hi\"").tokens, (Tokens{T(0, 1, 0x0A), T(1, 2, 1), T(3, 1, 0x0E)}));
  // Closing punctuation alone, and opening punctuation runs.
  EXPECT_EQ(Run(",;").tokens, (Tokens{T(0, 1, 0x06), T(1, 1, 0x06)}));
  EXPECT_EQ(Run("([{x").tokens, (Tokens{T(0, 1, 0x0A), T(1, 1, 0x0A), T(2, 1, 0x0A), T(3, 1, 1)}));
  // Word characters of cp1252: accented letters yes, the multiplication sign no.
  EXPECT_EQ(Run("caf\xE9").tokens, (Tokens{T(0, 4, 1)}));
  EXPECT_EQ(Run("3\xD7"
                "4")
                .tokens,
            (Tokens{T(0, 3, 0)}));
  // A full stop, an apostrophe or a hyphen make a chunk (here returned whole).
  EXPECT_EQ(Run("end.").tokens, (Tokens{T(0, 4, 0)}));
  EXPECT_EQ(Run("don't 3.14").tokens, (Tokens{T(0, 5, 0), T(6, 4, 0)}));
  // Punctuation chunks: all symbol characters take the class of their first byte.
  EXPECT_EQ(Run("...").tokens, (Tokens{T(0, 3, 0x16)}));
  EXPECT_EQ(Run("-").tokens, (Tokens{T(0, 1, 0x02)}));
  EXPECT_EQ(Run("\x85").tokens, (Tokens{T(0, 1, 0x1E)}));
}

TEST(PunctClass, ExamplesAndEveryByte) {
  EXPECT_EQ(PunctClass(','), 0x06u);
  EXPECT_EQ(PunctClass('?'), 0x16u);
  EXPECT_EQ(PunctClass('.'), 0x16u);
  EXPECT_EQ(PunctClass('('), 0x0Au);
  EXPECT_EQ(PunctClass('"'), 0x0Eu);
  EXPECT_EQ(PunctClass(0x85), 0x1Eu);
  EXPECT_EQ(PunctClass('a'), 0x02u);
  EXPECT_EQ(PunctClass('-'), 0x02u);
  // Every byte has PUNCT and nothing beyond the three punctuation bits.
  int closing = 0, opening = 0, end = 0;
  for (int b = 0; b < 256; ++b) {
    const uint32_t k = PunctClass(static_cast<unsigned char>(b));
    EXPECT_EQ(k & ~0x1Cu, 0x02u) << b;
    closing += (k & VTM_TOKEN_CLOSING) != 0;
    opening += (k & VTM_TOKEN_OPENING) != 0;
    end += (k & VTM_TOKEN_SENTENCE_END) != 0;
  }
  EXPECT_EQ(closing, 15 + 8);
  EXPECT_EQ(opening, 7 + 7);
  EXPECT_EQ(end, 4);
}

// The end of a run of word characters, found eight or sixteen bytes at a time, against
// the byte table: every byte value at every place of a run of word characters, for runs
// starting at several offsets and texts ending at every length (so that the blocks and
// the byte-wise rest all meet it).
TEST(WordEnd, EveryByteAtEveryPlaceAgreesWithTheTable) {
  static const std::string kWord = "azAZ09aMqz\xC0\xD6\xD8\xF6\xF8\xFFk5Z";
  int compared = 0, inside = 0;
  for (int b = 0; b < 256; ++b) {
    for (int at = 0; at < 40; ++at) {
      std::string text;
      for (int k = 0; k < 40; ++k)
        text.push_back(kWord[static_cast<std::size_t>(k * 7 + b) % kWord.size()]);
      text[static_cast<std::size_t>(at)] = static_cast<char>(b);
      const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
      for (int start : {0, 1, 3, 7, 8}) {
        for (int length = start; length <= 40; ++length) {
          int want = start;
          while (want < length && ByteIs(bytes[want], kByteWord)) ++want;
          ASSERT_EQ(WordEnd(bytes, start, length), want)
              << "byte " << b << " at " << at << " start " << start << " length " << length;
          ASSERT_EQ(WordEndByWords(bytes, start, length), want)
              << "byte " << b << " at " << at << " start " << start << " length " << length;
#if defined(__SSE2__)
          ASSERT_EQ(WordEndBySse2(bytes, start, length), want)
              << "byte " << b << " at " << at << " start " << start << " length " << length;
#endif
          ++compared;
          inside += want > start + 8;
        }
      }
    }
  }
  EXPECT_EQ(compared, 256 * 40 * (41 + 40 + 38 + 34 + 33));
  EXPECT_GT(inside, 100000);
}

// The end of a chunk, found sixteen bytes at a time, against the plain rule (the first
// byte at or below 0x20, or '<' in HTML text): every byte value at every place of a
// chunk, for chunks starting at several offsets and texts ending at every length, in
// both kinds of text.
TEST(ChunkEnd, EveryByteAtEveryPlaceAgreesWithTheRule) {
  static const std::string kChunk =
      "a.b'c-d,e!f<g>h\x7F\x80\xA0\xFF"
      "9\"~";
  int compared = 0, inside = 0;
  for (int b = 0; b < 256; ++b) {
    for (int at = 0; at < 40; ++at) {
      std::string text;
      for (int k = 0; k < 40; ++k) {
        char c = kChunk[static_cast<std::size_t>(k * 5 + b) % kChunk.size()];
        text.push_back(c == '<' && b % 2 == 0 ? '>' : c);  // some texts without a '<'
      }
      text[static_cast<std::size_t>(at)] = static_cast<char>(b);
      const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
      for (const bool html : {false, true}) {
        for (int start : {0, 1, 5, 16}) {
          for (int length = start; length <= 40; ++length) {
            int want = start;
            while (want < length && bytes[want] > 0x20 && !(html && bytes[want] == '<')) ++want;
            ASSERT_EQ(ChunkEnd(bytes, start, length, html), want)
                << "byte " << b << " at " << at << " start " << start << " length " << length
                << " html " << html;
            ASSERT_EQ(ChunkEndByBytes(bytes, start, length, html), want)
                << "byte " << b << " at " << at << " start " << start << " length " << length
                << " html " << html;
            ++compared;
            inside += want > start + 16;
          }
        }
      }
    }
  }
  EXPECT_EQ(compared, 256 * 40 * 2 * (41 + 40 + 36 + 25));
  EXPECT_GT(inside, 50000);
}

// The classes of a 64-byte block, in each form (integer arithmetic, SSE2, AVX2 where
// the processor has it), against the byte table: every byte value at every place, over
// backgrounds of word characters, whitespace and marks.
TEST(ByteBlocks, EveryFormAgreesWithTheTable) {
  static const std::string kBackgrounds[] = {"aZ9\xC0\xFFq", " \t\n\x01 ", ".,;'\x85\xD7\xF7<"};
  int compared = 0;
  for (const std::string& background : kBackgrounds) {
    for (int b = 0; b < 256; ++b) {
      for (int at = 0; at < kBlockBytes; ++at) {
        unsigned char block[kBlockBytes];
        for (int k = 0; k < kBlockBytes; ++k)
          block[k] = static_cast<unsigned char>(
              background[static_cast<std::size_t>(k * 5 + b) % background.size()]);
        block[at] = static_cast<unsigned char>(b);
        ByteBlock want{0, 0, 0};
        for (int k = 0; k < kBlockBytes; ++k) {
          want.word |= uint64_t{ByteIs(block[k], kByteWord)} << k;
          want.space |= uint64_t{ByteIs(block[k], kByteSpace)} << k;
          want.blank |= uint64_t{block[k] == ' '} << k;
        }
        std::vector<ByteBlock> forms = {ClassifyBlockByWords(block), ClassifyBlock(block, false)};
#if defined(__SSE2__)
        forms.push_back(ClassifyBlockBySse2(block));
#endif
#if defined(VTM_TOKEN_AVX2)
        if (BlocksByAvx2()) forms.push_back(ClassifyBlockByAvx2(block));
#endif
        for (const ByteBlock& got : forms) {
          ASSERT_EQ(got.word, want.word) << "byte " << b << " at " << at;
          ASSERT_EQ(got.space, want.space) << "byte " << b << " at " << at;
          ASSERT_EQ(got.blank, want.blank) << "byte " << b << " at " << at;
          ++compared;
        }
        // Single spaces: a space, then a byte that is not whitespace, inside the block.
        uint64_t single = 0;
        for (int k = 0; k + 1 < kBlockBytes; ++k)
          single |= uint64_t{block[k] == ' ' && !ByteIs(block[k + 1], kByteSpace)} << k;
        ASSERT_EQ(SingleSpaces(want), single) << "byte " << b << " at " << at;
      }
    }
  }
  EXPECT_GE(compared, 3 * 256 * kBlockBytes * 2);
}

TEST_F(Scan, NonFinalPiecesStopBeforeTokensThatCouldGrow) {
  TokenizeRun r = Run("hello", 0);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.count, 0);
  r = Run("hello world", 0);
  EXPECT_EQ(r.rc, 6);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 5, 1)}));
  r = Run("hello world");
  EXPECT_EQ(r.rc, 11);
  EXPECT_EQ(r.tokens.size(), 2u);
  // A line break at the end may still grow; plain spaces are consumed.
  r = Run("a\n\n", 0);
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 1, 1)}));
  r = Run("a  ", 0);
  EXPECT_EQ(r.rc, 3);
  r = Run("a\n\n", VTM_TOKENIZE_HTML);
  EXPECT_EQ(r.rc, 3);
  // Trailing punctuation and chunks wait too; an opening mark does not.
  EXPECT_EQ(Run("a b,", 0).rc, 2);
  EXPECT_EQ(Run("a b.c", 0).rc, 2);
  r = Run("a (", 0);
  EXPECT_EQ(r.rc, 3);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 1, 1), T(2, 1, 0x0A)}));
}

TEST_F(Scan, FullRecordArrayStopsAtTheTokenThatDidNotFit) {
  // Whitespace without a line break is consumed even when no token fits.
  TokenizeRun r = Run("  x", VTM_TOKENIZE_FINAL, 0);
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(r.count, 0);
  r = Run("ab cd ef", VTM_TOKENIZE_FINAL, 2);
  EXPECT_EQ(r.rc, 6);
  EXPECT_EQ(r.count, 2);
  // Trailing punctuation: the call stops at the mark that does not fit.
  r = Run("word,;", VTM_TOKENIZE_FINAL, 2);
  EXPECT_EQ(r.rc, 5);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 4, 1), T(4, 1, 6)}));
  // A quotation mark after a word is closing, but would be opening at the start of a
  // call: when it does not fit, the word and its marks are taken back.
  r = Run("ab word\",", VTM_TOKENIZE_FINAL, 2);
  EXPECT_EQ(r.rc, 3);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 2, 1)}));
  r = Run("word\",", VTM_TOKENIZE_FINAL, 1);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(Run("word\",", VTM_TOKENIZE_FINAL, 3).tokens,
            (Tokens{T(0, 4, 1), T(4, 1, 0x0E), T(5, 1, 0x06)}));
  // A line break that does not fit.
  r = Run("a\nb", VTM_TOKENIZE_FINAL, 1);
  EXPECT_EQ(r.rc, 1);
  // A chunk that does not fit after byte 0 stops the call before it.
  r = Run("a b.c", VTM_TOKENIZE_FINAL, 1);
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(r.count, 1);
  // At byte 0 the chunk's failure is the call's result.
  r = Run("b.c", VTM_TOKENIZE_FINAL, 0);
  EXPECT_EQ(r.rc, VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(r.count, 0);
}

}  // namespace
}  // namespace vtm
