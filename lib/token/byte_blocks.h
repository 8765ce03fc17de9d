// The byte scanner's classes of 64 bytes at once: bit i of each mask tells whether byte
// i of the block is a word character, whitespace, or the space 0x20 (the classes of
// char_classes.h). The scanner's word path reads words and the single spaces between
// them from these masks, without a test per byte or per class. Three forms, one
// answer: AVX2 (chosen at run time where the processor has it), SSE2, and eight bytes
// at a time with integer arithmetic. Tested in tests/lib/tokenizer_scan_test.cpp
// (every form against the byte table) and by the reference scanner.
#pragma once

#include <cstdint>
#include <cstring>

#include "token/char_classes.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VTM_TOKEN_AVX2 1
#include <immintrin.h>
#endif

namespace vtm {

struct ByteBlock {
  uint64_t word;   // scanner word characters
  uint64_t space;  // whitespace: 0x00-0x20
  uint64_t blank;  // the space 0x20
};

inline constexpr int kBlockBytes = 64;

// Eight bytes at a time with integer arithmetic (any little-endian machine).
inline ByteBlock ClassifyBlockByWords(const unsigned char* text) {
  using word_bytes::kOnes;
  ByteBlock b{0, 0, 0};
  for (int k = 0; k < kBlockBytes; k += 8) {
    uint64_t x;
    std::memcpy(&x, text + k, 8);
    const uint64_t not_word = word_bytes::NotWord(x);
    // Whitespace: the high bit clear and below 0x21, where adding 0x5F to the low seven
    // bits (no carry leaves a byte) does not reach 0x80. The space: the byte that 0x20
    // turns into zero.
    const uint64_t low7 = x & (kOnes * 0x7F);
    const uint64_t space = ~(low7 + kOnes * 0x5F) & ~x & (kOnes * 0x80);
    const uint64_t y = x ^ (kOnes * 0x20);
    const uint64_t blank = ~(((y & (kOnes * 0x7F)) + kOnes * 0x7F) | y) & (kOnes * 0x80);
    // One bit per byte: the high bits gathered by a multiply (each byte's bit lands in
    // the top byte at its own place).
    auto gather = [](uint64_t high_bits) {
      return static_cast<uint64_t>(((high_bits >> 7) * 0x0102040810204080ull) >> 56);
    };
    b.word |= gather(~not_word & (kOnes * 0x80)) << k;
    b.space |= gather(space) << k;
    b.blank |= gather(blank) << k;
  }
  return b;
}

#if defined(__SSE2__)
inline ByteBlock ClassifyBlockBySse2(const unsigned char* text) {
  ByteBlock b{0, 0, 0};
  const __m128i blank = _mm_set1_epi8(0x20);
  for (int k = 0; k < kBlockBytes; k += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + k));
    const auto word = static_cast<uint32_t>(_mm_movemask_epi8(WordBytesSse2(x)));
    const auto space = static_cast<uint32_t>(_mm_movemask_epi8(SpaceBytesSse2(x)));
    const auto blanks = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, blank)));
    b.word |= uint64_t{word} << k;
    b.space |= uint64_t{space} << k;
    b.blank |= uint64_t{blanks} << k;
  }
  return b;
}
#endif

#if defined(VTM_TOKEN_AVX2)
// The SSE2 classes (WordBytesSse2) on thirty-two bytes at once.
__attribute__((target("avx2"))) inline ByteBlock ClassifyBlockByAvx2(const unsigned char* text) {
  ByteBlock b{0, 0, 0};
  const __m256i blank = _mm256_set1_epi8(0x20);
  const __m256i c0 = _mm256_set1_epi8(static_cast<char>(0xC0));
  for (int k = 0; k < kBlockBytes; k += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + k));
    const __m256i lowered = _mm256_or_si256(x, blank);
    const __m256i letter_index = _mm256_sub_epi8(lowered, _mm256_set1_epi8('a'));
    const __m256i letter =
        _mm256_cmpeq_epi8(_mm256_min_epu8(letter_index, _mm256_set1_epi8(25)), letter_index);
    const __m256i digit_index = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
    const __m256i digit =
        _mm256_cmpeq_epi8(_mm256_min_epu8(digit_index, _mm256_set1_epi8(9)), digit_index);
    const __m256i upper =
        _mm256_andnot_si256(_mm256_cmpeq_epi8(lowered, _mm256_set1_epi8(static_cast<char>(0xF7))),
                            _mm256_cmpeq_epi8(_mm256_max_epu8(x, c0), x));
    const __m256i word = _mm256_or_si256(_mm256_or_si256(letter, digit), upper);
    const __m256i space = _mm256_cmpeq_epi8(_mm256_min_epu8(x, blank), x);
    b.word |= uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(word))} << k;
    b.space |= uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(space))} << k;
    b.blank |= uint64_t{static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, blank)))}
               << k;
  }
  return b;
}

// Whether this processor runs the AVX2 form (asked once per call of vtm_tokenize).
inline bool BlocksByAvx2() {
  return __builtin_cpu_supports("avx2");
}
#else
inline bool BlocksByAvx2() {
  return false;
}
#endif

// The classes of text[0, 64) without AVX2: SSE2, or integer arithmetic.
inline ByteBlock ClassifyBlockPortable(const unsigned char* text) {
#if defined(__SSE2__)
  return ClassifyBlockBySse2(text);
#else
  return ClassifyBlockByWords(text);
#endif
}

// The classes of text[0, 64), by AVX2 when `avx2` is set (BlocksByAvx2).
inline ByteBlock ClassifyBlock(const unsigned char* text, bool avx2) {
#if defined(VTM_TOKEN_AVX2)
  if (avx2) return ClassifyBlockByAvx2(text);
#else
  (void)avx2;
#endif
  return ClassifyBlockPortable(text);
}

// Bit i: byte i of the block is a single space, the space 0x20 followed by a byte other
// than whitespace, both inside the block (so never bit 63).
inline uint64_t SingleSpaces(const ByteBlock& b) {
  return b.blank & ~(b.space >> 1) & ~(uint64_t{1} << 63);
}

}  // namespace vtm
