// The class table of a tagger: 1009 chains of class keys (sets of tag symbol numbers),
// exact and nearest lookup, and resolving a word's tag symbols to an ambiguity class.
// Tested in tests/lib/tagger_model_test.cpp.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "tagger/tagger.h"

namespace vtm {

namespace {

void FreeScanOrder(VtmClassTable* table) {
  std::free(table->scan);
  std::free(table->by_size);
  std::free(table->size_starts);
  table->scan = nullptr;
  table->by_size = table->size_starts = nullptr;
  table->max_size = 0;
}

}  // namespace

uint32_t ClassKeyHash(const uint16_t* key, uint32_t n) {
  uint32_t h = 0;
  for (uint32_t k = 0; k < n; ++k) {
    h = (h << 6) + key[k];
    const uint32_t g = h & 0xF0000000u;
    if (g != 0) {
      h ^= g >> 24;
      h ^= g;
    }
  }
  return h;
}

bool ClassTableInsert(VtmClassTable* table, const uint16_t* key, uint32_t n, int32_t class_number) {
  if (table->used >= table->capacity) return false;
  FreeScanOrder(table);  // the visiting order changes
  auto* symbols = static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * (n == 0 ? 1 : n)));
  if (symbols == nullptr) return false;
  if (n != 0) std::memcpy(symbols, key, sizeof(uint16_t) * n);
  VtmClassEntry& e = table->entries[table->used++];
  const uint32_t chain = ClassKeyHash(key, n) % kClassChains;
  e.next = table->heads[chain];
  e.class_number = class_number;
  e.size = n;
  e.symbols = symbols;
  table->heads[chain] = &e;
  return true;
}

namespace {

// Keys are short: an inline loop, not a call to memcmp.
bool SameSymbols(const uint16_t* a, const uint16_t* b, uint32_t n) {
  for (uint32_t k = 0; k < n; ++k) {
    if (a[k] != b[k]) return false;
  }
  return true;
}

}  // namespace

int32_t ClassTableExact(const VtmClassTable& table, const uint16_t* key, uint32_t n) {
  if (table.heads == nullptr) return -1;
  for (const VtmClassEntry* e = table.heads[ClassKeyHash(key, n) % kClassChains]; e != nullptr;
       e = e->next) {
    if (e->size == n && SameSymbols(key, e->symbols, n)) return e->class_number;
  }
  return -1;
}

int32_t ClassDistance(const uint16_t* token, uint32_t n, const uint16_t* key, uint32_t m) {
  int32_t d = 0;
  uint32_t i = 0;
  uint32_t j = 0;
  while (i < n && j < m) {
    if (key[j] > token[i]) {
      d -= 3;  // a token tag that the class lacks
      ++i;
    } else if (key[j] < token[i]) {
      d -= 2;  // a class tag that the token lacks
      ++j;
    } else {
      d += 4;
      ++i;
      ++j;
    }
  }
  if (i == n) {
    d -= static_cast<int32_t>(2 * (m - j));
  } else if (j == m) {
    d -= static_cast<int32_t>(3 * (n - i));
  }
  return d;
}

namespace {

uint64_t SymbolMask(const uint16_t* symbols, uint32_t n) {
  uint64_t mask = 0;
  for (uint32_t k = 0; k < n; ++k) mask |= uint64_t{1} << (symbols[k] & 63u);
  return mask;
}

// Set bits of x, without a call into the compiler's run-time library on machines whose
// baseline instruction set has no population count.
uint32_t BitCount(uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555u;
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<uint32_t>((x * 0x0101010101010101u) >> 56);
}

// The nearest lookup over the keys grouped by size. distance = 4c - 3(n - c) - 2(m - c) =
// 9c - 3n - 2m for c shared symbols, so no key of m symbols beats 9 min(n, m) - 3n - 2m:
// sizes are visited from the greatest such bound down (it rises with m up to n and falls
// after), and the search ends at a size whose bound is below the best so far. Within a
// size, each shared symbol is a token symbol whose mask bit the key has, so c is also at
// most the number of token symbols in the mask bits both keys have (the popcount of those
// bits when no two token symbols share a bit). The answer is the key of the greatest
// distance that comes first in the scan order, as a scan in that order would find it.
int32_t NearestBySize(const VtmClassTable& table, const uint16_t* key, uint32_t n) {
  const uint64_t token_mask = SymbolMask(key, n);
  uint8_t per_bit[64] = {};
  for (uint32_t k = 0; k < n; ++k) ++per_bit[key[k] & 63u];
  const bool one_per_bit = BitCount(token_mask) == n;
  const int64_t token_cost = 3 * static_cast<int64_t>(n);
  auto bound = [&](int64_t m) { return 9 * std::min<int64_t>(n, m) - token_cost - 2 * m; };
  int64_t best = INT64_MIN;
  uint32_t best_p = UINT32_MAX;
  const int64_t top = table.max_size;
  int64_t down = std::min<int64_t>(n, top);  // sizes down = n, n - 1, ..., 0
  int64_t up = down + 1;                     // sizes up = n + 1, ..., max_size
  while (down >= 0 || up <= top) {
    int64_t m;
    if (up > top || (down >= 0 && bound(down) >= bound(up))) {
      m = down--;
    } else {
      m = up++;
    }
    const int64_t most = bound(m);
    if (most < best) break;  // every size left has a bound at most this one
    const auto size = static_cast<uint32_t>(m);
    const int64_t cost = token_cost + 2 * m;
    for (uint32_t r = table.size_starts[m]; r < table.size_starts[m + 1]; ++r) {
      const uint32_t p = table.by_size[r];
      const VtmClassScan& e = table.scan[p];
      uint64_t both = e.mask & token_mask;
      uint32_t shared = 0;
      if (one_per_bit) {
        shared = BitCount(both);
      } else {
        for (; both != 0; both &= both - 1) shared += per_bit[std::countr_zero(both)];
      }
      const int64_t reach = 9 * static_cast<int64_t>(std::min({shared, n, size})) - cost;
      if (reach < best || (reach == best && p > best_p)) continue;
      const int32_t d = ClassDistance(key, n, e.symbols, e.size);
      if (d > best || (d == best && p < best_p)) {
        best = d;
        best_p = p;
      }
    }
  }
  return table.scan[best_p].class_number;
}

}  // namespace

bool ClassTableIndex(VtmClassTable* table) {
  FreeScanOrder(table);
  if (table->heads == nullptr || table->used == 0) return true;
  auto* scan = static_cast<VtmClassScan*>(std::malloc(sizeof(VtmClassScan) * table->used));
  if (scan == nullptr) return false;
  uint32_t p = 0;
  for (uint32_t chain = 0; chain < kClassChains; ++chain) {
    for (const VtmClassEntry* e = table->heads[chain]; e != nullptr; e = e->next) {
      scan[p++] = {SymbolMask(e->symbols, e->size), e->size, e->class_number, e->symbols};
    }
  }
  table->scan = scan;
  // The size runs: count, then place each position in order (so ascending within a run).
  uint32_t max_size = 0;
  for (uint32_t q = 0; q < p; ++q) max_size = std::max(max_size, scan[q].size);
  table->size_starts = static_cast<uint32_t*>(std::calloc(max_size + 3u, sizeof(uint32_t)));
  table->by_size = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) * p));
  if (table->size_starts == nullptr || table->by_size == nullptr) {
    FreeScanOrder(table);
    return false;
  }
  table->max_size = max_size;
  uint32_t* starts = table->size_starts;
  for (uint32_t q = 0; q < p; ++q) ++starts[scan[q].size + 2u];
  for (uint32_t m = 2; m <= max_size + 2; ++m) starts[m] += starts[m - 1];
  // starts[m + 1] is now where size m's run begins; placing a key moves it on, so that
  // it ends where size m + 1's run begins, and starts[m] where size m's does.
  for (uint32_t q = 0; q < p; ++q) table->by_size[starts[scan[q].size + 1u]++] = q;
  return true;
}

int32_t ClassTableNearest(const VtmClassTable& table, const uint16_t* key, uint32_t n) {
  int32_t best = kLowestScore;
  int32_t found = 0;
  if (table.heads == nullptr) return 0;
  if (table.scan != nullptr) return NearestBySize(table, key, n);
  for (uint32_t chain = 0; chain < kClassChains; ++chain) {
    for (const VtmClassEntry* e = table.heads[chain]; e != nullptr; e = e->next) {
      const int32_t d = ClassDistance(key, n, e->symbols, e->size);
      if (d > best) {
        best = d;
        found = e->class_number;
      }
    }
  }
  return found;
}

int32_t ResolveClass(const VtmTaggerRec& tagger, uint16_t* symbols, uint32_t n, int32_t mwt_symbol,
                     NearestMemo* memo) {
  if (n == 0) return 0;
  std::sort(symbols, symbols + n);
  uint32_t kept = 0;
  for (uint32_t k = 0; k < n; ++k) {
    if (static_cast<int32_t>(symbols[k]) == mwt_symbol) continue;
    if (kept > 0 && symbols[kept - 1] == symbols[k]) continue;
    symbols[kept++] = symbols[k];
  }
  const int32_t exact = ClassTableExact(tagger.class_table, symbols, kept);
  if (exact >= 0) return exact;
  return NearestClassMemoized(memo, tagger.class_table, symbols, kept);
}

void FreeClassTable(VtmClassTable* table) {
  if (table->entries != nullptr) {
    for (uint32_t k = 0; k < table->used; ++k) std::free(table->entries[k].symbols);
  }
  std::free(table->entries);
  std::free(table->heads);
  FreeScanOrder(table);
  *table = VtmClassTable{};
}

}  // namespace vtm
