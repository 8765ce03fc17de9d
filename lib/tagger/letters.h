// Letter classes of code page 1252 as sentence tagging sees them, and the two word tests
// built on them: all_caps_word and is_opening_token. Tested in
// tests/lib/tagger_sentence_test.cpp.
#pragma once

#include <cstdint>
#include <cstring>

namespace vtm {

inline bool IsCapital(uint8_t b) {
  return (b >= 0x41 && b <= 0x5A) || (b >= 0xC0 && b <= 0xDE && b != 0xD7) || b == 0x8A ||
         b == 0x8C || b == 0x9F;
}

inline bool IsSmall(uint8_t b) {
  return (b >= 0x61 && b <= 0x7A) || (b >= 0xE0 && b != 0xF7) || b == 0x9A || b == 0x9C;
}

inline uint8_t ToSmall(uint8_t b) {
  switch (b) {
    case 0x8A:
      return 0x9A;
    case 0x8C:
      return 0x9C;
    case 0x9F:
      return 0xFF;
    default:
      return IsCapital(b) ? static_cast<uint8_t>(b + 0x20) : b;
  }
}

inline uint8_t ToCapital(uint8_t b) {
  switch (b) {
    case 0x9A:
      return 0x8A;
    case 0x9C:
      return 0x8C;
    case 0xFF:
      return 0x9F;
    default:
      return IsSmall(b) ? static_cast<uint8_t>(b - 0x20) : b;
  }
}

inline bool IsApostrophe(uint8_t b) {
  return b == 0x27 || b == 0x92;
}

// A word in capitals that is not an initialism with periods: it starts with a capital,
// an apostrophe or a hyphen, has no small letter, and has a run of 3 or more bytes
// without a period, or a final run (after the last period) of 2 or more.
// NATO, IT and USA. are; U.S., A and AB. are not.
inline bool AllCapsWord(const char* word) {
  const auto* w = reinterpret_cast<const uint8_t*>(word);
  if (!(IsCapital(w[0]) || IsApostrophe(w[0]) || w[0] == 0x2D)) return false;
  bool long_run = false;
  std::size_t run = 0;
  for (std::size_t k = 0; w[k] != 0; ++k) {
    if (IsSmall(w[k])) return false;
    if (w[k] == 0x2E) {
      run = 0;
    } else if (++run >= 3) {
      long_run = true;
    }
  }
  return long_run || run >= 2;
}

// Punctuation after which the next word may begin a sentence: one of a set of single
// bytes (quotes, dashes, brackets, colon and the like), or "--", "``" or "''".
inline bool IsOpeningToken(const char* token) {
  const auto* t = reinterpret_cast<const uint8_t*>(token);
  if (t[0] != 0 && t[1] == 0) {
    static constexpr uint8_t kOpening[] = {0x3A, 0x22, 0x93, 0x94, 0x60, 0x91, 0x92, 0x82, 0x84,
                                           0x85, 0x28, 0x2D, 0x96, 0x97, 0x86, 0x87, 0x8B, 0x9B,
                                           0xAA, 0xBA, 0x99, 0xA1, 0xA9, 0xAE, 0xBF};
    for (uint8_t b : kOpening) {
      if (t[0] == b) return true;
    }
    return false;
  }
  return std::strcmp(token, "--") == 0 || std::strcmp(token, "``") == 0 ||
         std::strcmp(token, "''") == 0;
}

}  // namespace vtm
