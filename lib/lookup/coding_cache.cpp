// The coding cache of a loaded transducer (CodingCache in fst/fsm.h): the coder's entry
// (and its one code, when it needs no escape) for every input byte, the decoder's text
// byte for every code written without escapes, and the decoder's tag names for codes
// with few escapes. Each entry is worked out here
// once, at load, by the same rules that the coder and the decoder apply to the other
// cases (coding.h). Tested by tests/lib/coder_test.cpp (the cached and the computed
// answers for every byte and code of random transducers) and every lookup test.
#include <cstring>
#include <new>

#include "lookup/coding.h"

namespace vtm {

int BuildCodingCache(VtmFsmRec* fsm) {
  auto* cache = new (std::nothrow) CodingCache{};
  if (cache == nullptr) return VTM_ERR_NO_MEMORY;
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t base = 0;
    uint32_t escapes = 0;
    if (MapCharFromTable(fsm, static_cast<uint8_t>(b), &base, &escapes)) {
      cache->char_entry[b] = base | escapes << 8;
      // Never 0: an entry without escapes has a non-zero base.
      if (escapes == 0 && b != 0 && b != '[') cache->plain_code[b] = static_cast<uint8_t>(base);
    }
  }
  for (uint32_t y = 0; y < 256; ++y) {
    const bool special =
        y == 0 || y == fsm->header.esc_label || y == fsm->eos_code || y == fsm->tagsep_code;
    cache->plain_char[y] = special ? int16_t{-1} : static_cast<int16_t>(CharOfSymbol(fsm, y, 0));
  }
  for (uint32_t e = 0; e < kCachedTagEscapes; ++e) {
    for (uint32_t c = 0; c < 64; ++c) {
      const char* name = TagNameOf(fsm, static_cast<uint8_t>(c * kCodeStep), e);
      CachedTagName& cached = cache->tag_names[e * 64 + c];
      cached.name = name;
      cached.length = static_cast<uint32_t>(std::strlen(name));
      if (cached.length + 2 <= kShortTag) {
        cached.bracketed[0] = '[';
        std::memcpy(cached.bracketed + 1, name, cached.length);
        cached.bracketed[cached.length + 1] = ']';
        cached.short_length = cached.length + 2;
      }
    }
  }
  fsm->coding = cache;
  return 0;
}

}  // namespace vtm
