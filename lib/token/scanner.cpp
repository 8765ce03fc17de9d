// vtm_tokenize: the byte scanner. One pass over the piece: whitespace and line breaks,
// runs of word characters, opening and trailing punctuation and (in HTML text) tags are
// split by fixed byte classes; anything else between whitespace is a chunk, split by the
// tokenizer transducer (chunk_split.cpp). Without VTM_TOKENIZE_FINAL no token that
// touches the end of the piece is emitted: the call returns where the caller must
// resume. Tested in tests/lib/tokenizer_scan_test.cpp, tokenizer_html_test.cpp and
// tokenizer_pieces_test.cpp.
#include <bit>
#include <cstring>

#include "frame/frame.h"
#include "token/byte_blocks.h"
#include "token/char_classes.h"
#include "token/tags.h"
#include "token/tokenizer.h"

namespace vtm {
namespace {

// The 64 bytes from `at` classified (byte_blocks.h), kept from one stretch of the word
// path to the next: word characters and single spaces.
struct WordBlock {
  uint64_t words = 0, single = 0;
  int at = -2 * kBlockBytes;
};

// The word path: words that are each followed by a single space, or by one closing mark
// and a single space, and then by a byte other than whitespace, read from the block masks
// while the block holds the word, its space and the byte after it. Each gives what steps
// 4, 5 (or 8) and 1 of Scanner::Run give (a word token, the mark's token, then the space
// passed over); the steps take over at the first place that does not fit, which is
// returned. A word that runs past the end of its block is read again from a block that
// starts with it. The block always lies inside the piece, so the end of a non-final piece
// is never met here. Kept out of line, with its state in locals, so that the loop's
// position, record count and masks stay in registers rather than in the stack frame of
// the large scanner loop (a record written through `tokens` could otherwise alias them).
// Instantiated for each block classifier (RunWordPath), so that the AVX2 one is compiled
// into its own copy of the loop rather than called for every block.
template <ByteBlock (*Classify)(const unsigned char*)>
[[gnu::always_inline]] inline int WordPath(const unsigned char* text, int p, int length,
                                           VtmToken* tokens, int capacity, int* count_io,
                                           WordBlock* block) {
  const uint8_t* const classes = kByteClasses.data();
  VtmToken* out = tokens + *count_io;  // the next record
  int room = capacity - *count_io;     // records left
  uint64_t words = block->words, single = block->single;
  int block_at = block->at;
  for (;;) {
    int at = p - block_at;
    if (at > kBlockBytes - 2) {
      if (p + kBlockBytes > length) break;
      const ByteBlock classes64 = Classify(text + p);
      words = classes64.word;
      single = SingleSpaces(classes64);
      block_at = p;
      at = 0;
    }
    // The words that are each followed by a single space, taken together: from `at` up to
    // the first byte that is neither a word character nor a single space, each single
    // space ends a word that starts after the previous one (two single spaces are never
    // adjacent, and the byte at p is not a space). Each is what one turn of the steps
    // below gives for it; they stop, as the steps do, when fewer than two records are left.
    const uint64_t from_at = ~uint64_t{0} << at;
    const uint64_t others = ~(words | single) & from_at;
    uint64_t spaces = single & from_at & ((others & (0 - others)) - 1);
    while (spaces != 0 && room >= 2) {
      const int end = block_at + std::countr_zero(spaces);
      SetSpanToken(out++, p, end - p, VTM_TOKEN_WORD);
      --room;
      p = end + 1;
      spaces &= spaces - 1;
    }
    at = p - block_at;
    if (at > kBlockBytes - 2) continue;  // the next word starts at the block's last byte
    const int word_end = at + std::countr_zero(~words >> at);  // 64 and above: past
    if (word_end == at) break;
    if (word_end > kBlockBytes - 2) {
      // The block ends inside the word or before the byte after its space: the next
      // block starts at the word, unless it already did.
      if (at == 0) break;
      block_at = p - kBlockBytes;
      continue;
    }
    if (room < 2) break;
    const int end = block_at + word_end;
    if ((single >> word_end) & 1) {
      SetSpanToken(out++, p, end - p, VTM_TOKEN_WORD);
      --room;
      p = end + 1;
      continue;
    }
    // A closing mark, then a single space (SingleSpaces never sets bit 63, so a word
    // that ends at byte 62 goes on by the steps).
    const unsigned char mark = text[end];
    if (!(classes[mark] & kByteClosing) || !((single >> (word_end + 1)) & 1)) break;
    SetSpanToken(out++, p, end - p, VTM_TOKEN_WORD);
    SetSpanToken(out++, end, 1, PunctClass(mark));
    room -= 2;
    p = end + 2;
  }
  *count_io = static_cast<int>(out - tokens);
  block->words = words;
  block->single = single;
  block->at = block_at;
  return p;
}

[[gnu::noinline]] int RunWordPathPortable(const unsigned char* text, int p, int length,
                                          VtmToken* tokens, int capacity, int* count_io,
                                          WordBlock* block) {
  return WordPath<ClassifyBlockPortable>(text, p, length, tokens, capacity, count_io, block);
}

#if defined(VTM_TOKEN_AVX2)
[[gnu::noinline]] __attribute__((target("avx2"))) int RunWordPathAvx2(const unsigned char* text,
                                                                      int p, int length,
                                                                      VtmToken* tokens,
                                                                      int capacity, int* count_io,
                                                                      WordBlock* block) {
  return WordPath<ClassifyBlockByAvx2>(text, p, length, tokens, capacity, count_io, block);
}
#endif

// The word path with the blocks classified by AVX2 when `avx2` is set (BlocksByAvx2).
inline int RunWordPath(const unsigned char* text, int p, int length, VtmToken* tokens, int capacity,
                       int* count_io, WordBlock* block, bool avx2) {
#if defined(VTM_TOKEN_AVX2)
  if (avx2) return RunWordPathAvx2(text, p, length, tokens, capacity, count_io, block);
#else
  (void)avx2;
#endif
  return RunWordPathPortable(text, p, length, tokens, capacity, count_io, block);
}

class Scanner {
 public:
  Scanner(const unsigned char* text, int length, VtmTokenizerRec* tokenizer, int flags,
          VtmToken* tokens, int capacity, char* strings, int strings_size)
      : text_(text),
        length_(length),
        tokenizer_(tokenizer),
        final_((flags & VTM_TOKENIZE_FINAL) != 0),
        html_((flags & VTM_TOKENIZE_HTML) != 0),
        line_paragraph_((flags & VTM_TOKENIZE_LINE_PARAGRAPH) != 0),
        avx2_(BlocksByAvx2()),
        sink_{tokens, capacity, 0, strings, strings_size, 0} {}

  // Returns the bytes consumed or a chunk's error code; *count_out receives the records.
  int Run(int* count_out) { return html_ ? Scan<true>(count_out) : Scan<false>(count_out); }

 private:
  // Writes [a, b) with class k; false when the record array is full (the call then
  // stops at a).
  bool Emit(int a, int b, uint32_t k) {
    if (sink_.count == sink_.capacity) return false;
    SetSpanToken(&sink_.tokens[sink_.count++], a, b - a, k);
    return true;
  }
  // The scan, with the text's kind (HTML or not) fixed at compile time: the tests for
  // "<" that only HTML text makes go away from a plain text's loops.
  template <bool kHtml>
  int Scan(int* count_out);
  // Handles the tag at s; returns -1 to go on, or the offset the call stops at.
  int Tag(int s);
  // The inhibited element opened by the tag [s, p) named `name`; same result as Tag.
  int Inhibited(int s, int p, const char* name);

  const unsigned char* text_;
  int length_;
  VtmTokenizerRec* tokenizer_;
  bool final_, html_, line_paragraph_;
  bool avx2_;  // blocks are classified by AVX2
  TokenSink sink_;
  int p_ = 0;
};

// The position, the record count and the text are kept in locals here (the member
// copies are written back around Tag and SplitChunk, which use them): a record written
// through the caller's pointer could alias a member, which would make the compiler read
// every member again after each record.
template <bool kHtml>
int Scanner::Scan(int* count_out) {
  const unsigned char* const text = text_;
  const int length = length_;
  const uint8_t* const classes = kByteClasses.data();
  VtmToken* const tokens = sink_.tokens;
  const int capacity = sink_.capacity;
  int count = sink_.count;
  // Writes [a, b) with class k; false when the record array is full (the call then
  // stops at a).
  auto emit = [&](int a, int b, uint32_t k) {
    if (count == capacity) return false;
    SetSpanToken(&tokens[count++], a, b - a, k);
    return true;
  };
  int p = 0;
  int stop = -1;  // offset the call stops at, when it stops early
  WordBlock block;
  const bool avx2 = avx2_;
  while (p < length) {
    // 1. Whitespace, counting its line breaks; s marks the first line break.
    if (text[p] == ' ' && p + 1 < length && !(classes[text[p + 1]] & kByteSpace)) {
      ++p;  // the usual single space between tokens: no line break, and text follows
    } else if (classes[text[p]] & kByteSpace) {
      int s = p, breaks = 0, lf = 0, cr = 0;
      do {
        const unsigned char b = text[p];
        if (classes[b] & kByteLineBreak) {
          if (breaks++ == 0) s = p;
          lf += b == '\n';
          cr += b == '\r';
        }
        ++p;
      } while (p < length && (classes[text[p]] & kByteSpace));
      // 2. A non-final piece that ends in whitespace: a line break may still grow.
      if (p == length && !final_) {
        stop = !kHtml && breaks > 0 ? s : p;
        break;
      }
      // 3. The line-break token runs from the first line break through the whitespace.
      if (!kHtml && breaks > 0) {
        const bool paragraph = lf >= 2 || cr >= 2 || line_paragraph_;
        if (!emit(s, p, VTM_TOKEN_LINE_BREAK | (paragraph ? VTM_TOKEN_PARAGRAPH : 0))) {
          stop = s;
          break;
        }
      }
      if (p == length) break;  // a final piece: nothing follows
    }
    p = RunWordPath(text, p, length, tokens, capacity, &count, &block, avx2);
    // 4. Word characters.
    const int s = p;
    p = WordEnd(text, p, length);
    const bool word = p > s;
    // 5. A plain word (or nothing) before whitespace, the end, or a tag.
    if (p == length) {
      if (!final_) {
        stop = s;
        break;
      }
      if (word && !emit(s, p, VTM_TOKEN_WORD)) stop = s;
      break;
    }
    const unsigned char next = text[p];
    if ((classes[next] & kByteSpace) || (kHtml && word && next == '<')) {
      if (word && !emit(s, p, VTM_TOKEN_WORD)) {
        stop = s;
        break;
      }
      continue;
    }
    // 6. Opening punctuation before any word character is a token at once.
    if (!word && (classes[next] & kByteOpening)) {
      if (!emit(p, p + 1, VTM_TOKEN_PUNCT | VTM_TOKEN_OPENING)) {
        stop = p;
        break;
      }
      ++p;
      continue;
    }
    // 7. A tag.
    if (kHtml && !word && next == '<') {
      p_ = p;
      sink_.count = count;
      stop = Tag(s);
      p = p_;
      count = sink_.count;
      if (stop >= 0) break;
      continue;
    }
    // 8. A word followed by trailing punctuation only.
    const int w = p;
    while (p < length && (classes[text[p]] & kByteClosing)) ++p;
    if (p == length || (classes[text[p]] & kByteSpace) || (kHtml && text[p] == '<')) {
      if (p == length && !final_) {
        stop = s;
        break;
      }
      if (w > s && !emit(s, w, VTM_TOKEN_WORD)) {
        stop = s;
        break;
      }
      const int group = count - (w > s ? 1 : 0);
      for (int q = w; q < p; ++q) {
        if (!emit(q, q + 1, PunctClass(text[q]))) {
          // The call stops at the mark that did not fit, except at a quotation mark:
          // a call that began there would read it as opening, so the whole group is
          // taken back and the call stops at its start.
          if (text[q] == '"') {
            count = group;
            stop = s;
          } else {
            stop = q;
          }
          break;
        }
      }
      if (stop >= 0) break;
      continue;
    }
    // 9. A chunk, up to whitespace (or a tag): the transducer splits it.
    p = ChunkEnd(text, p, length, kHtml);
    if (p == length && !final_) {
      stop = s;
      break;
    }
    sink_.count = count;
    const TokenSink before = sink_;
    const int rc = SplitChunk(reinterpret_cast<const char*>(text), s, p, tokenizer_, &sink_);
    if (rc < 0) {
      sink_ = before;
      count = sink_.count;
      if (s == 0) {
        *count_out = count;
        return rc;
      }
      stop = s;
      break;
    }
    count = sink_.count;
  }
  *count_out = count;
  return stop >= 0 ? stop : length;
}

int Scanner::Tag(int s) {
  int& p = p_;
  ParsedTag tag = ParseTag(text_ + s, length_ - s, final_);
  if (!tag.complete) {
    if (!final_) return s;
    tag.length = length_ - s;  // the rest of the piece, with an empty name
  }
  p = s + tag.length;
  const TagProperties properties = LookupTagProperties(tag.name, tokenizer_->tag_dict);
  const uint32_t k = TagClass(properties);
  if (properties.inhibit && !properties.keep) {
    if (tag.name[0] == '/') {
      // A stray closing tag of an inhibited element ends the call right after it.
      return Emit(s, p, k) ? p : s;
    }
    return Inhibited(s, p, tag.name);
  }
  if (p > s && !Emit(s, p, k)) return s;
  return -1;
}

int Scanner::Inhibited(int s, int p, const char* name) {
  // The element runs to the closing tag that matches its opening one, counting nested
  // elements of the same name.
  char closing[kTagNameMax + 2] = "/";
  std::strcat(closing, name);
  int depth = 1;
  while (depth > 0 && p < length_) {
    const void* lt = std::memchr(text_ + p, '<', static_cast<std::size_t>(length_ - p));
    if (lt == nullptr) {
      p = length_;
      break;
    }
    p = static_cast<int>(static_cast<const unsigned char*>(lt) - text_);
    ParsedTag inner = ParseTag(text_ + p, length_ - p, final_);
    if (!inner.complete) {
      p = length_;
      break;
    }
    p += inner.length;
    if (std::strcmp(inner.name, name) == 0) {
      ++depth;
    } else if (std::strcmp(inner.name, closing) == 0) {
      --depth;
    }
  }
  p_ = p;
  if (depth > 0 && !final_) return s;
  if (p > s && !Emit(s, p, VTM_TOKEN_MARKUP)) return s;
  return -1;
}

}  // namespace
}  // namespace vtm

extern "C" VTMRT_API int vtm_tokenize(const char* text, int length, VtmTokenizer tokenizer,
                                      int flags, VtmToken* tokens, int capacity, char* strings,
                                      int strings_size, int* count_out) {
  if (text == nullptr || tokenizer == nullptr || tokens == nullptr || strings == nullptr ||
      count_out == nullptr)
    return VTM_ERR_NULL_OBJECT;
  if (int code = vtm::CheckObject(tokenizer); code != 0) return code;
  if (length < 0 || capacity < 0 || strings_size < 0) return VTM_ERR_INVALID_NUMBER;
  vtm::Scanner scanner(reinterpret_cast<const unsigned char*>(text), length, tokenizer, flags,
                       tokens, capacity, strings, strings_size);
  return scanner.Run(count_out);
}
