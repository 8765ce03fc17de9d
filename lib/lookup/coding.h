// Byte-string coding: text <-> NUL-terminated strings of label codes.
//
// A character or tag is one base code (a multiple of 4) and e escape codes (esc_label
// bytes) before it, or after it when code_flags bit 7 is set. Its symbol ordinal is
// (base - label_base) / 4 + e * esc_radix. Tags sit in runs between tagsep codes.
// There is one coder and one decoder for the whole library; every walk, lookup and
// the other subsystems go through them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fst/fsm.h"

namespace vtm {

// Text length that means "read up to the NUL".
inline constexpr int kNulTerminated = 2147483647;

struct CoderOptions {
  bool tags = false;         // "[name]" in the text is a tag
  bool eos = false;          // append eos_code (unless the transducer has none)
  bool closing_sep = false;  // append tagsep_code
};

// Codes `text` (at most `length` bytes, or up to its NUL) into `out` of `size` bytes.
// Returns the code-string length without its NUL, or -12 (no room), -14 (unclosed or
// overlong tag name), -10 (character or tag outside the alphabet). On error the output
// holds what was written before and is not terminated.
int EncodeText(const char* text, int length, uint8_t* out, int size, CoderOptions options,
               const VtmFsmRec* fsm);

// Decodes at most `length` codes of `codes` (stopping earlier at a NUL code) into `out`
// of `size` bytes and terminates it. With `stop_at_eos` the text ends at the first
// unescaped eos_code; otherwise each one becomes a NUL separator. `option` is accepted
// for the callers' sake and has no effect. Returns the text length without the final
// NUL (separators included), or -12.
int DecodeCodes(const uint8_t* codes, std::size_t length, char* out, int size, int option,
                bool stop_at_eos, const VtmFsmRec* fsm);

inline int DecodeCodes(const uint8_t* codes, char* out, int size, int option, bool stop_at_eos,
                       const VtmFsmRec* fsm) {
  return DecodeCodes(codes, SIZE_MAX, out, size, option, stop_at_eos, fsm);
}

// Character-map entry of input byte `b` as (base, escapes), read from the char map
// itself; false when not in the alphabet. The coding cache holds its answer for every
// byte (CodingCache::char_entry, which the coder reads).
inline bool MapCharFromTable(const VtmFsmRec* fsm, uint8_t b, uint32_t* base, uint32_t* escapes) {
  if (b < fsm->char_first || b > fsm->char_last || fsm->char_codes == nullptr) return false;
  uint32_t index = b - fsm->char_first;
  if (fsm->header.net_flags & kNetWideCharMap) {
    uint32_t word = Be16(fsm->char_codes + 2 * index);
    if (word == 0) return false;
    *base = (word >> 8) & 0xFC;
    *escapes = word & 0x3FF;
  } else {
    uint32_t entry = fsm->char_codes[index];
    if (entry == 0) return false;
    *base = entry & 0xFC;
    *escapes = entry & 3;
  }
  return true;
}

// The text byte of symbol code y after `pending` (escapes times esc_radix); '?' for an
// ordinal outside the symbol chars, which only a damaged transducer gives.
inline char CharOfSymbol(const VtmFsmRec* fsm, uint32_t y, uint32_t pending) {
  const int64_t ordinal = (static_cast<int64_t>(y) - fsm->header.label_base) / kCodeStep +
                          static_cast<int64_t>(pending);
  const bool known = ordinal >= 0 && fsm->symbol_chars.has(static_cast<uint32_t>(ordinal));
  return known ? static_cast<char>(fsm->symbol_chars[static_cast<uint32_t>(ordinal)] & 0xFF) : '?';
}

// The name of the tag with code y and `escapes` escape codes; "???" when there is none.
inline const char* TagNameOf(const VtmFsmRec* fsm, uint8_t y, uint32_t escapes) {
  const uint16_t key = static_cast<uint16_t>(((y & 0xFC) << 8) | (escapes & 0xFF));
  const char* name = FsmTagName(fsm, key);
  return name == nullptr ? "???" : name;
}

// Writes one symbol (base code and `escapes` escape codes) at out + *used, escapes
// before the base or, with code_flags bit 7 (`escapes_after`), after it.
inline void PutSymbol(uint8_t* out, int* used, uint32_t base, uint32_t escapes, uint8_t esc,
                      bool escapes_after) {
  int at = *used;
  // One escape is the usual case: stored directly rather than by the library call the
  // compiler makes of the loop.
  auto put_escapes = [&] {
    if (escapes == 1) {
      out[at++] = esc;
    } else {
      for (uint32_t k = 0; k < escapes; ++k) out[at++] = esc;
    }
  };
  if (!escapes_after) {
    put_escapes();
    out[at++] = static_cast<uint8_t>(base);
  } else {
    out[at++] = static_cast<uint8_t>(base);
    put_escapes();
  }
  *used = at;
}

}  // namespace vtm
