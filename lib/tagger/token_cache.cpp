// The per-buffer cache of token classes (see token_cache.h). Two-way set associative:
// a key may sit in either slot of its set, the more recently used first, so that two
// frequent tokens whose hashes meet do not keep evicting each other. A slot holds the
// token's bytes in full, so a hit is an exact match of bytes and context, never a hash
// match alone. Tested in tests/lib/tagger_cache_test.cpp.
#include "tagger/token_cache.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace vtm {

struct TokenCacheSlot {
  uint32_t hash;
  uint8_t length;  // 0: empty (a cached token is never blank, so never empty)
  uint8_t context;
  uint16_t class_number;
  char text[kTokenCacheText];
};

static_assert(sizeof(TokenCacheSlot) == 32, "a slot is half a cache line");

namespace {

// Bytes of two keys of the same length; short, so a loop rather than a call.
bool SameText(const char* a, const char* b, uint32_t n) {
  for (uint32_t k = 0; k < n; ++k) {
    if (a[k] != b[k]) return false;
  }
  return true;
}

bool Holds(const TokenCacheSlot& s, const TokenKey& key) {
  return s.hash == key.hash && s.length == key.length && s.context == key.context &&
         SameText(s.text, key.text, key.length);
}

}  // namespace

void* AllocateTable(uint32_t wanted, std::size_t entry_size, uint32_t* mask) {
  uint32_t size = 1;
  while (size <= wanted / 2) size *= 2;
  *mask = size - 1;
  return std::calloc(size, entry_size);
}

bool TokenCacheInit(TokenCache* cache, uint32_t slots) {
  *cache = TokenCache{};
  if (slots == 0) return true;
  cache->slots =
      static_cast<TokenCacheSlot*>(AllocateTable(slots, sizeof(TokenCacheSlot), &cache->mask));
  if (cache->slots == nullptr) cache->mask = 0;
  return cache->slots != nullptr;
}

void TokenCacheFree(TokenCache* cache) {
  std::free(cache->slots);
  *cache = TokenCache{};
}

void TokenCachePrepare(TokenCache* cache, const void* tagger, uint32_t dict_entries) {
  if (cache->slots == nullptr) return;
  if (cache->tagger == tagger && cache->dict_entries == dict_entries) return;
  for (uint32_t k = 0; k <= cache->mask; ++k) cache->slots[k].length = 0;
  cache->tagger = tagger;
  cache->dict_entries = dict_entries;
}

bool TokenCacheKey(const char* token, uint8_t context, TokenKey* key) {
  uint32_t h = 2166136261u ^ context;  // FNV-1a over the context and the bytes
  uint32_t n = 0;
  for (; token[n] != 0; ++n) {
    if (n == kTokenCacheText) return false;
    h = (h ^ static_cast<uint8_t>(token[n])) * 16777619u;
  }
  key->text = token;
  key->length = n;
  key->hash = h ^ (h >> 15);
  key->context = context;
  return true;
}

int32_t TokenCacheFind(TokenCache* cache, const TokenKey& key) {
  if (cache->slots == nullptr) return -1;
  // A table of one slot has a set of one.
  TokenCacheSlot* set = cache->slots + (key.hash & cache->mask & ~1u);
  if (Holds(set[0], key)) return set[0].class_number;
  if (cache->mask == 0 || !Holds(set[1], key)) return -1;
  std::swap(set[0], set[1]);  // the more recently used first
  return set[0].class_number;
}

void TokenCacheStore(TokenCache* cache, const TokenKey& key, int32_t class_number) {
  if (cache->slots == nullptr) return;
  TokenCacheSlot* set = cache->slots + (key.hash & cache->mask & ~1u);
  if (cache->mask != 0) set[1] = set[0];  // the older entry of the set goes
  TokenCacheSlot& s = set[0];
  s.hash = key.hash;
  s.length = static_cast<uint8_t>(key.length);
  s.context = key.context;
  s.class_number = static_cast<uint16_t>(class_number);
  std::memcpy(s.text, key.text, key.length);
}

}  // namespace vtm
