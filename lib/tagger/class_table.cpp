// The class table of a tagger: 1009 chains of class keys (sets of tag symbol numbers),
// exact and nearest lookup, and resolving a word's tag symbols to an ambiguity class.
// Tested in tests/lib/tagger_model_test.cpp.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "tagger/tagger.h"

namespace vtm {

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
  std::free(table->scan);  // the visiting order changes
  table->scan = nullptr;
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

// The nearest lookup over the scan order. distance = 4c - 3(n - c) - 2(m - c) =
// 9c - 3n - 2m for c shared symbols. Each shared symbol is a token symbol whose mask bit
// the entry has, so c is at most min(n, m) and the number of token symbols in the mask
// bits both keys have (the popcount of those bits when no two token symbols share a bit).
// An entry whose bound is not above the best so far cannot be taken and is skipped.
int32_t NearestByScan(const VtmClassTable& table, const uint16_t* key, uint32_t n) {
  const uint64_t token_mask = SymbolMask(key, n);
  uint8_t per_bit[64] = {};
  for (uint32_t k = 0; k < n; ++k) ++per_bit[key[k] & 63u];
  const bool one_per_bit = BitCount(token_mask) == n;
  const int64_t token_cost = 3 * static_cast<int64_t>(n);
  int32_t best = kLowestScore;
  int32_t found = 0;
  for (uint32_t p = 0; p < table.used; ++p) {
    const VtmClassScan& e = table.scan[p];
    const int64_t cost = token_cost + 2 * static_cast<int64_t>(e.size);
    if (9 * static_cast<int64_t>(std::min(n, e.size)) - cost <= best) continue;
    uint64_t both = e.mask & token_mask;
    uint32_t shared = 0;
    if (one_per_bit) {
      shared = BitCount(both);
    } else {
      for (; both != 0; both &= both - 1) shared += per_bit[std::countr_zero(both)];
    }
    if (9 * static_cast<int64_t>(std::min({shared, n, e.size})) - cost <= best) continue;
    const int32_t d = ClassDistance(key, n, e.symbols, e.size);
    if (d > best) {
      best = d;
      found = e.class_number;
    }
  }
  return found;
}

}  // namespace

bool ClassTableIndex(VtmClassTable* table) {
  std::free(table->scan);
  table->scan = nullptr;
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
  return true;
}

int32_t ClassTableNearest(const VtmClassTable& table, const uint16_t* key, uint32_t n) {
  int32_t best = kLowestScore;
  int32_t found = 0;
  if (table.heads == nullptr) return 0;
  if (table.scan != nullptr) return NearestByScan(table, key, n);
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
  std::free(table->scan);
  *table = VtmClassTable{};
}

}  // namespace vtm
