// The per-buffer cache of token classes (see token_cache.h). A slot holds the token's
// bytes in full, so a hit is an exact match of bytes and context, never a hash match
// alone. Tested in tests/lib/tagger_cache_test.cpp.
#include "tagger/token_cache.h"

#include <cstdlib>
#include <cstring>

namespace vtm {

struct TokenCacheSlot {
  uint32_t hash;
  uint8_t length;  // 0: empty (a cached token is never blank, so never empty)
  uint8_t context;
  int16_t class_number;
  char text[kTokenCacheText];
};

static_assert(sizeof(TokenCacheSlot) == 32, "a slot is half a cache line");

bool TokenCacheInit(TokenCache* cache, uint32_t slots) {
  *cache = TokenCache{};
  if (slots == 0) return true;
  uint32_t size = 1;
  while (size <= slots / 2) size *= 2;
  cache->slots = static_cast<TokenCacheSlot*>(std::calloc(size, sizeof(TokenCacheSlot)));
  if (cache->slots == nullptr) return false;
  cache->mask = size - 1;
  return true;
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

int32_t TokenCacheFind(const TokenCache& cache, const TokenKey& key) {
  if (cache.slots == nullptr) return -1;
  const TokenCacheSlot& s = cache.slots[key.hash & cache.mask];
  if (s.hash != key.hash || s.length != key.length || s.context != key.context) return -1;
  if (std::memcmp(s.text, key.text, key.length) != 0) return -1;
  return s.class_number;
}

void TokenCacheStore(TokenCache* cache, const TokenKey& key, int32_t class_number) {
  if (cache->slots == nullptr) return;
  TokenCacheSlot& s = cache->slots[key.hash & cache->mask];
  s.hash = key.hash;
  s.length = static_cast<uint8_t>(key.length);
  s.context = key.context;
  s.class_number = static_cast<int16_t>(class_number);
  std::memcpy(s.text, key.text, key.length);
}

}  // namespace vtm
