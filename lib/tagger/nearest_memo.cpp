// The per-buffer memo of nearest-class searches (see nearest_memo.h). An entry holds the
// whole key, so an answer is reused only for the very same tag set. Tested in
// tests/lib/tagger_nearest_test.cpp.
#include "tagger/nearest_memo.h"

#include <cstdlib>

#include "tagger/tagger.h"
#include "tagger/token_cache.h"

namespace vtm {

struct NearestMemoEntry {
  uint32_t hash;
  uint8_t used;
  uint8_t size;
  uint16_t class_number;
  uint16_t symbols[kNearestMemoSymbols];
};

static_assert(sizeof(NearestMemoEntry) == 32, "an entry is half a cache line");

bool NearestMemoInit(NearestMemo* memo, uint32_t entries) {
  *memo = NearestMemo{};
  if (entries == 0) return true;
  memo->entries =
      static_cast<NearestMemoEntry*>(AllocateTable(entries, sizeof(NearestMemoEntry), &memo->mask));
  if (memo->entries == nullptr) memo->mask = 0;
  return memo->entries != nullptr;
}

void NearestMemoFree(NearestMemo* memo) {
  std::free(memo->entries);
  *memo = NearestMemo{};
}

int32_t NearestClassMemoized(NearestMemo* memo, const VtmClassTable& table, const uint16_t* key,
                             uint32_t n) {
  if (memo == nullptr || memo->entries == nullptr || n > kNearestMemoSymbols) {
    return ClassTableNearest(table, key, n);
  }
  if (memo->owner != &table) {
    for (uint32_t k = 0; k <= memo->mask; ++k) memo->entries[k].used = 0;
    memo->owner = &table;
  }
  uint32_t h = 2166136261u ^ n;  // FNV-1a over the symbols
  for (uint32_t k = 0; k < n; ++k) h = (h ^ key[k]) * 16777619u;
  h ^= h >> 15;
  NearestMemoEntry& e = memo->entries[h & memo->mask];
  if (e.used && e.hash == h && e.size == n) {
    uint32_t k = 0;
    while (k < n && e.symbols[k] == key[k]) ++k;
    if (k == n) return e.class_number;
  }
  const int32_t found = ClassTableNearest(table, key, n);
  // A class number that does not fit the entry is answered but not kept.
  if (found < 0 || found > UINT16_MAX) return found;
  e.hash = h;
  e.used = 1;
  e.size = static_cast<uint8_t>(n);
  e.class_number = static_cast<uint16_t>(found);
  for (uint32_t k = 0; k < n; ++k) e.symbols[k] = key[k];
  return found;
}

}  // namespace vtm
