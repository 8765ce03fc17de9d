// The decoder: code strings back to text, and the exported vtmDecodeOffsets.
#include <cstring>

#include "frame/frame.h"
#include "lookup/coding.h"

namespace vtm {
namespace {

// A tag is written as '[', name, ']'; the room test before a tag is fixed (more than
// 68 bytes must remain), and a longer name is refused rather than written past the end.
inline constexpr int kTagRoom = 68;
static_assert(kShortTag <= kTagRoom);

#if defined(__GNUC__)
#define VTM_DECODE_INLINE inline __attribute__((always_inline))
#else
#define VTM_DECODE_INLINE inline
#endif

struct DecodeState {
  char* out;
  int size;
  int pos = 0;
  bool in_run = false;
  // Read once from the transducer: the output is a char array, which the compiler must
  // assume may alias the transducer's fields after every byte written.
  const CodingCache* cache;
  uint32_t radix;
  uint8_t eos;
  uint8_t tagsep;
  bool tag_table;
};

// Outcome of one symbol: keep going, stop (end of word), or an error code.
enum : int { kGoOn = 1, kStop = 0 };

// Writes symbol y that carries `escapes` escape codes.
VTM_DECODE_INLINE int PutSymbol(DecodeState& d, uint32_t y, uint32_t escapes, bool stop_at_eos,
                                const VtmFsmRec* fsm) {
  const CodingCache& cache = *d.cache;
  if (escapes == 0 && !d.in_run && cache.plain_char[y] >= 0) {  // the common case
    d.out[d.pos++] = static_cast<char>(cache.plain_char[y]);
    return d.pos >= d.size ? VTM_ERR_OUTPUT_TOO_LONG : kGoOn;
  }
  if (escapes == 0 && y == d.eos) {
    if (stop_at_eos) return kStop;
    d.out[d.pos++] = 0;
    return d.pos >= d.size ? VTM_ERR_OUTPUT_TOO_LONG : kGoOn;
  }
  if (escapes == 0 && y == d.tagsep) {
    d.in_run = !d.in_run;
    return kGoOn;
  }
  if (d.in_run && d.tag_table) {
    const uint32_t tag_escapes = d.radix == 0 ? 0 : escapes;
    const CachedTagName* cached = nullptr;
    const char* name;
    std::size_t length;
    if (tag_escapes < kCachedTagEscapes) {
      cached = &cache.tag_names[tag_escapes * 64 + (y >> 2)];
      name = cached->name;
      length = cached->length;
    } else {
      name = TagNameOf(fsm, static_cast<uint8_t>(y), tag_escapes);
      length = std::strlen(name);
    }
    const int left = d.size - d.pos;
    if (left <= kTagRoom || length + 2 >= static_cast<std::size_t>(left)) {
      return VTM_ERR_OUTPUT_TOO_LONG;
    }
    if (cached != nullptr && cached->short_length != 0) {
      // More than kTagRoom bytes are left: the padded block fits.
      std::memcpy(d.out + d.pos, cached->bracketed, kShortTag);
      d.pos += static_cast<int>(cached->short_length);
    } else {
      d.out[d.pos++] = '[';
      std::memcpy(d.out + d.pos, name, length);
      d.pos += static_cast<int>(length);
      d.out[d.pos++] = ']';
    }
  } else {
    d.out[d.pos++] = CharOfSymbol(fsm, y, escapes * d.radix);
  }
  return d.pos >= d.size ? VTM_ERR_OUTPUT_TOO_LONG : kGoOn;
}

}  // namespace

int DecodeCodes(const uint8_t* codes, std::size_t length, char* out, int size, int /*option*/,
                bool stop_at_eos, const VtmFsmRec* fsm) {
  if (size <= 0) return VTM_ERR_OUTPUT_TOO_LONG;
  DecodeState d{out,
                size,
                0,
                false,
                fsm->coding,
                fsm->header.esc_radix,
                fsm->eos_code,
                fsm->tagsep_code,
                fsm->tag_name_by_code != nullptr};
  const uint8_t esc = fsm->header.esc_label;
  uint32_t pending = 0;  // escape codes counted for the symbol being read
  int r = kGoOn;
  if (!(fsm->header.code_flags & kCodeEscAfter)) {
    // Escapes come first and complete with the next other code.
    const int16_t* const plain = d.cache->plain_char;
    std::size_t k = 0;
    for (;;) {
      if (pending == 0 && !d.in_run) {
        // Codes of one text byte each (most text), in a loop of their own while the text
        // keeps room for one more byte after each (the room test of PutSymbol). NUL,
        // the escape, the end code and the separator stop it (plain_char -1).
        int pos = d.pos;
        for (; k < length; ++k) {
          const int16_t c = plain[codes[k]];
          if (c < 0 || pos + 1 >= size) break;
          out[pos++] = static_cast<char>(c);
        }
        d.pos = pos;
      }
      if (k >= length || codes[k] == 0) break;
      if (codes[k] == esc) {
        ++pending;
      } else {
        r = PutSymbol(d, codes[k], pending, stop_at_eos, fsm);
        if (r != kGoOn) break;
        pending = 0;
      }
      ++k;
    }
  } else {
    // A code is held until the escapes after it have been counted.
    bool held = false;
    uint32_t y = 0;
    for (std::size_t k = 0; k < length && codes[k] != 0; ++k) {
      if (held && codes[k] == esc) {
        ++pending;
        continue;
      }
      if (held) {
        r = PutSymbol(d, y, pending, stop_at_eos, fsm);
        if (r != kGoOn) break;
      }
      held = true;
      y = codes[k];
      pending = 0;
    }
    if (r == kGoOn && held) r = PutSymbol(d, y, pending, stop_at_eos, fsm);
  }
  if (r < 0) return r;
  out[d.pos] = 0;
  return d.pos;
}

}  // namespace vtm

extern "C" VTMRT_API void vtmDecodeOffsets(const int* offsets, int count, int* result_offsets,
                                           const char* coded, VtmFsm fsm) {
  if (offsets == nullptr || result_offsets == nullptr || coded == nullptr) return;
  if (!vtm::IsRealObject(fsm)) return;
  const auto* codes = reinterpret_cast<const uint8_t*>(coded);
  const uint8_t esc = fsm->header.esc_label;
  int64_t cursor = 0;
  int counter = 0;
  for (int k = 0; k < count; ++k) {
    // The cursor never moves back and never passes the string's NUL.
    while (cursor < offsets[k] && codes[cursor] != 0) {
      if (codes[cursor] != esc) ++counter;
      ++cursor;
    }
    result_offsets[k] = counter;
  }
}
