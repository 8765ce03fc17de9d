// The coder: text to code strings, and the exported vtmEncodeByteString.
#include <cstring>

#include "frame/frame.h"
#include "lookup/coding.h"

namespace vtm {
namespace {

inline constexpr int kMaxTagName = 61;

}  // namespace

int EncodeText(const char* text, int length, uint8_t* out, int size, CoderOptions options,
               const VtmFsmRec* fsm) {
  const auto* in = reinterpret_cast<const uint8_t*>(text);
  // Read once: the output is a byte array, which the compiler must assume may alias
  // the transducer's fields after every byte written.
  const uint32_t* const char_entry = fsm->coding->char_entry;
  const uint8_t* const plain_code = fsm->coding->plain_code;
  const uint8_t tagsep = fsm->tagsep_code;
  const uint8_t esc = fsm->header.esc_label;
  const bool escapes_after = fsm->header.code_flags & kCodeEscAfter;
  const bool tags = options.tags;
  const uint32_t limit = length < 0 ? 0u : static_cast<uint32_t>(length);
  int used = 0;
  bool in_run = false;
  uint32_t pos = 0;
  while (pos < limit) {
    if (!in_run) {
      // Bytes of one code each (most text), in a loop of their own: as many as leave
      // `used + 3 < size` true after each, as the test below does for one byte.
      const uint32_t room = size - used > 3 ? static_cast<uint32_t>(size - used - 3) : 0u;
      const uint32_t end = limit - pos < room ? limit : pos + room;
      uint32_t q = pos;
      int u = used;
      for (; q < end; ++q) {
        const uint8_t c = plain_code[in[q]];
        if (c == 0) break;
        out[u++] = c;
      }
      used = u;
      pos = q;
      if (pos == limit) break;
    }
    const uint8_t b = in[pos];
    if (b == 0) break;
    uint32_t base = 0;
    uint32_t escapes = 0;
    if (b == '[' && tags) {
      if (!in_run) {
        if (used + 4 >= size) return VTM_ERR_OUTPUT_TOO_LONG;
        out[used++] = tagsep;
        in_run = true;
      }
      // The name runs up to the next ']': at most 61 bytes, and the text's end (its NUL
      // or its given length) before the ']' leaves the tag incomplete.
      const uint32_t name = pos + 1;
      uint32_t n = 0;
      for (;; ++n) {
        if (name + n >= limit || in[name + n] == 0) return VTM_ERR_INCOMPLETE_TAG;
        if (in[name + n] == ']') break;
        if (n == kMaxTagName) return VTM_ERR_INCOMPLETE_TAG;
      }
      uint16_t value = FsmTagCode(fsm, reinterpret_cast<const char*>(in + name), n);
      if (value == 0) return VTM_ERR_CHAR_NOT_IN_ALPHABET;
      base = value >> 8;
      escapes = value & 0xFF;
      pos = name + n + 1;
    } else {
      if (in_run) {
        if (used + 3 >= size) return VTM_ERR_OUTPUT_TOO_LONG;
        out[used++] = tagsep;
        in_run = false;
      }
      // The cached char-map entry: base | escapes << 8, 0 outside the alphabet.
      const uint32_t entry = char_entry[b];
      if (entry == 0) return VTM_ERR_CHAR_NOT_IN_ALPHABET;
      ++pos;
      base = entry & 0xFF;
      escapes = entry >> 8;
      if (escapes == 0) {  // the common case: one code
        if (used + 3 >= size) return VTM_ERR_OUTPUT_TOO_LONG;
        out[used++] = static_cast<uint8_t>(base);
        continue;
      }
    }
    if (static_cast<int64_t>(escapes) + used + 3 >= size) return VTM_ERR_OUTPUT_TOO_LONG;
    PutSymbol(out, &used, base, escapes, esc, escapes_after);
  }
  const bool eos = options.eos && fsm->eos_code != kNoLabel;
  // The per-symbol thresholds above always leave room for the end codes; only a text
  // with nothing to code can meet a buffer too small for them.
  if (used + int{eos} + int{options.closing_sep} + 1 > size) return VTM_ERR_OUTPUT_TOO_LONG;
  if (eos) out[used++] = fsm->eos_code;
  if (options.closing_sep) out[used++] = fsm->tagsep_code;
  out[used] = 0;
  return used;
}

}  // namespace vtm

extern "C" VTMRT_API int vtmEncodeByteString(const char* text, char* output, int output_size,
                                             int coding_mode, VtmFsm fsm) {
  if (text == nullptr || output == nullptr) return VTM_ERR_NULL_OBJECT;
  if (int code = vtm::CheckObject(fsm); code != 0) return code;
  if (output_size < 0) return VTM_ERR_INVALID_NUMBER;
  vtm::CoderOptions options;
  options.tags = coding_mode == 1;
  options.eos = coding_mode == 0;
  auto* out = reinterpret_cast<uint8_t*>(output);
  int length = vtm::EncodeText(text, vtm::kNulTerminated, out, output_size, options, fsm);
  if (length < 0 || coding_mode != 2) return length;
  const uint32_t escapes = fsm->eof_esc_count;
  if (static_cast<int64_t>(escapes) + length + 2 >= output_size) return VTM_ERR_OUTPUT_TOO_LONG;
  const bool escapes_after = fsm->header.code_flags & vtm::kCodeEscAfter;
  const uint8_t esc = fsm->header.esc_label;
  if (!escapes_after) {
    for (uint32_t k = 0; k < escapes; ++k) out[length++] = esc;
    out[length++] = fsm->eof_code;
  } else {
    out[length++] = fsm->eof_code;
    for (uint32_t k = 0; k < escapes; ++k) out[length++] = esc;
  }
  out[length] = 0;
  return length;
}
