// Fixed byte classes of the tokenizer (Windows code page 1252): the scanner's sets
// (whitespace, line break, word character, closing and opening punctuation), the wider
// sets that classify a transducer's output tokens, and the punctuation class of a single
// byte. One 256-entry table answers every test. Tested in tests/lib/tokenizer_*_test.cpp.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "vtmrt.h"

namespace vtm {

enum : uint8_t {
  kByteSpace = 1,      // 0x00-0x20
  kByteLineBreak = 2,  // CR, LF
  kByteWord = 4,       // scanner word character
  kByteClosing = 8,    // scanner closing punctuation
  kByteOpening = 16,   // scanner opening punctuation
  kByteOutWord = 32,   // word character of a transducer output token
  kByteSymbol = 64,    // symbol character of a transducer output token
};

constexpr std::array<uint8_t, 256> MakeByteClasses() {
  std::array<uint8_t, 256> t{};
  for (int b = 0; b <= 0x20; ++b) t[b] |= kByteSpace;
  t[0x0A] |= kByteLineBreak;
  t[0x0D] |= kByteLineBreak;
  for (int b = 0; b < 256; ++b) {
    const bool word = (b >= 0x30 && b <= 0x39) || (b >= 0x41 && b <= 0x5A) ||
                      (b >= 0x61 && b <= 0x7A) ||
                      (b >= 0xC0 && b <= 0xFF && b != 0xD7 && b != 0xF7);
    if (word) t[b] |= kByteWord | kByteOutWord;
    const bool symbol = (b >= 0x21 && b <= 0x2F) || (b >= 0x3A && b <= 0x40) ||
                        (b >= 0x5B && b <= 0x60) || (b >= 0x7B && b <= 0x7E) || b == 0x82 ||
                        (b >= 0x84 && b <= 0x89) || b == 0x8B || (b >= 0x91 && b <= 0x99) ||
                        b == 0x9B || (b >= 0xA1 && b <= 0xBF) || b == 0xD7 || b == 0xF7;
    if (symbol) t[b] |= kByteSymbol;
  }
  for (int b : {0x83, 0x8A, 0x8C, 0x9A, 0x9C, 0x9F}) t[b] |= kByteOutWord;
  for (int b :
       {0x21, 0x22, 0x29, 0x2C, 0x3A, 0x3B, 0x3F, 0x5D, 0x7D, 0xA9, 0xAE, 0xB2, 0xB3, 0xB9, 0xBB})
    t[b] |= kByteClosing;
  for (int b : {0x22, 0x28, 0x5B, 0x7B, 0xA1, 0xAB, 0xBF}) t[b] |= kByteOpening;
  return t;
}

inline constexpr std::array<uint8_t, 256> kByteClasses = MakeByteClasses();

inline bool ByteIs(unsigned char b, uint8_t set) {
  return (kByteClasses[b] & set) != 0;
}

constexpr uint32_t MakePunctClass(int b) {
  uint32_t k = VTM_TOKEN_PUNCT;
  if ((kByteClasses[b] & kByteClosing) || b == 0x27 || b == 0x2E || b == 0x85 || b == 0x86 ||
      b == 0x87 || b == 0x89 || b == 0x94 || b == 0x99)
    k |= VTM_TOKEN_CLOSING;
  if ((kByteClasses[b] & kByteOpening) || b == 0x60 || b == 0x82 || b == 0x84 || b == 0x85 ||
      b == 0x8B || b == 0x91 || b == 0x93)
    k |= VTM_TOKEN_OPENING;
  if (b == 0x2E || b == 0x3F || b == 0x21 || b == 0x85) k |= VTM_TOKEN_SENTENCE_END;
  return k;
}

constexpr std::array<uint16_t, 256> MakePunctClasses() {
  std::array<uint16_t, 256> t{};
  for (int b = 0; b < 256; ++b) t[b] = static_cast<uint16_t>(MakePunctClass(b));
  return t;
}

inline constexpr std::array<uint16_t, 256> kPunctClasses = MakePunctClasses();

namespace word_bytes {

inline constexpr uint64_t kOnes = 0x0101010101010101ull;

// The high bit of each byte of x whose value lies strictly between m and n
// (0 <= m <= 127, 1 <= n <= 128); exact per byte: no borrow or carry crosses a byte.
constexpr uint64_t Between(uint64_t x, uint64_t m, uint64_t n) {
  const uint64_t low7 = x & (kOnes * 127);
  return (kOnes * (127 + n) - low7) & ~x & (low7 + kOnes * (127 - m)) & (kOnes * 128);
}

// The high bit of each byte of x (eight bytes, the first in the low byte) that is not
// a scanner word character: 0-9, A-Z and a-z (capitals lowered by setting 0x20, which
// moves no other byte into a-z), and 0xC0-0xFF except 0xD7 and 0xF7 (which are the
// bytes that setting 0x20 turns into 0xF7).
constexpr uint64_t NotWord(uint64_t x) {
  const uint64_t lowered = x | (kOnes * 0x20);
  const uint64_t letters = Between(lowered, 0x60, 0x7B);
  const uint64_t digits = Between(x, 0x2F, 0x3A);
  const uint64_t upper = x & (x << 1) & (kOnes * 0x80);  // 0xC0 and above
  const uint64_t f7 = lowered ^ (kOnes * 0xF7);
  const uint64_t not_f7 = (((f7 & (kOnes * 0x7F)) + kOnes * 0x7F) | f7) & (kOnes * 0x80);
  return ~(letters | digits | (upper & not_f7)) & (kOnes * 0x80);
}

}  // namespace word_bytes

// The end of the run of word characters that starts at p in text[0, length), byte by
// byte through the table.
inline int WordEndByBytes(const unsigned char* text, int p, int length) {
  while (p < length && (kByteClasses[text[p]] & kByteWord)) ++p;
  return p;
}

// The same, eight bytes classified at once while eight remain (the run usually ends
// within them, found without a branch per byte). Little-endian machines only.
inline int WordEndByWords(const unsigned char* text, int p, int length) {
  static_assert(std::endian::native == std::endian::little);
  for (; p + 8 <= length; p += 8) {
    uint64_t x;
    std::memcpy(&x, text + p, 8);
    if (const uint64_t stop = word_bytes::NotWord(x); stop != 0)
      return p + (std::countr_zero(stop) >> 3);
  }
  return WordEndByBytes(text, p, length);
}

#if defined(__SSE2__)
// The word characters among sixteen bytes (0xFF where a byte is one): a byte is a letter
// when, with 0x20 set, it lies in a-z; a digit when it lies in 0-9; an upper-half word
// character when it is 0xC0 or above and, with 0x20 set, not 0xF7 (0xD7 and 0xF7).
inline __m128i WordBytesSse2(__m128i x) {
  const __m128i lowered = _mm_or_si128(x, _mm_set1_epi8(0x20));
  const __m128i letter_index = _mm_sub_epi8(lowered, _mm_set1_epi8('a'));
  const __m128i letter =
      _mm_cmpeq_epi8(_mm_min_epu8(letter_index, _mm_set1_epi8(25)), letter_index);
  const __m128i digit_index = _mm_sub_epi8(x, _mm_set1_epi8('0'));
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(digit_index, _mm_set1_epi8(9)), digit_index);
  const __m128i c0 = _mm_set1_epi8(static_cast<char>(0xC0));
  const __m128i upper =
      _mm_andnot_si128(_mm_cmpeq_epi8(lowered, _mm_set1_epi8(static_cast<char>(0xF7))),
                       _mm_cmpeq_epi8(_mm_max_epu8(x, c0), x));
  return _mm_or_si128(_mm_or_si128(letter, digit), upper);
}

// The whitespace bytes (0x00-0x20) among sixteen bytes (0xFF where a byte is one).
inline __m128i SpaceBytesSse2(__m128i x) {
  return _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(0x20)), x);
}

// The same, sixteen bytes at once with SSE2.
inline int WordEndBySse2(const unsigned char* text, int p, int length) {
  for (; p + 16 <= length; p += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p));
    const unsigned word = static_cast<unsigned>(_mm_movemask_epi8(WordBytesSse2(x)));
    if (word != 0xFFFF) return p + std::countr_zero(~word);
  }
  return WordEndByWords(text, p, length);
}
#endif

// The end of the run of word characters that starts at p in text[0, length).
inline int WordEnd(const unsigned char* text, int p, int length) {
#if defined(__SSE2__)
  return WordEndBySse2(text, p, length);
#else
  return WordEndByWords(text, p, length);
#endif
}

// The end of a chunk that starts at p in text[0, length): its first whitespace byte
// (0x00-0x20) or, in HTML text, its first '<'; byte by byte through the table.
inline int ChunkEndByBytes(const unsigned char* text, int p, int length, bool html) {
  while (p < length && !(kByteClasses[text[p]] & kByteSpace) && !(html && text[p] == '<')) ++p;
  return p;
}

#if defined(__SSE2__)
// The same, sixteen bytes at once: a chunk usually ends within its first sixteen bytes,
// found without a branch per byte (whose exit the processor cannot foresee).
inline int ChunkEndBySse2(const unsigned char* text, int p, int length, bool html) {
  // Outside HTML the second test looks for 0x20, which the first already finds.
  const __m128i markup = _mm_set1_epi8(html ? '<' : 0x20);
  for (; p + 16 <= length; p += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + p));
    const __m128i stop = _mm_or_si128(SpaceBytesSse2(x), _mm_cmpeq_epi8(x, markup));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
    if (mask != 0) return p + std::countr_zero(mask);
  }
  return ChunkEndByBytes(text, p, length, html);
}
#endif

// The end of the chunk that starts at p in text[0, length).
inline int ChunkEnd(const unsigned char* text, int p, int length, bool html) {
#if defined(__SSE2__)
  return ChunkEndBySse2(text, p, length, html);
#else
  return ChunkEndByBytes(text, p, length, html);
#endif
}

// The class of a single punctuation byte.
inline uint32_t PunctClass(unsigned char b) {
  return kPunctClasses[b];
}

}  // namespace vtm
