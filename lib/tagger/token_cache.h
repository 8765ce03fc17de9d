// The per-buffer cache of token classes. Real text repeats its words, and the class that
// a token resolves to is the whole result of the candidate search, the guesser and the
// class table for that token: a fixed-size, two-way set associative table made with the buffer
// remembers it, so that a repeated token costs one hash and one comparison instead of
// the walks. Nothing is allocated while tagging. Tested in tests/lib/tagger_cache_test.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vtm {

struct TokenCacheSlot;

// `mask` + 1 slots (a power of two) in sets of two, or none.
struct TokenCache {
  TokenCacheSlot* slots;  // owned; null when the cache is off
  uint32_t mask;
  // What the stored classes were computed with; a call with anything else empties the
  // table first.
  const void* tagger;
  uint32_t dict_entries;  // entry count of the buffer's title dictionary
};

// Slots of a buffer made by the public makers.
inline constexpr uint32_t kTokenCacheSlots = 32768;
// Longest token that is cached (longer ones are rare and looked up every time).
inline constexpr uint32_t kTokenCacheText = 24;

// The cache key of a token: its bytes and the context bits of everything else that
// decides its class (see SentenceTagger::CacheContext).
struct TokenKey {
  const char* text;
  uint32_t length;
  uint32_t hash;
  uint8_t context;
};

// Zeroed storage for a table of `wanted` (at least 1) entries of `entry_size` bytes,
// rounded down to a power of two; *mask becomes that count less one. Null on failure.
// The token cache and the nearest-class memo are made with it.
void* AllocateTable(uint32_t wanted, std::size_t entry_size, uint32_t* mask);

// Allocates `slots` empty slots (rounded down to a power of two; 0 turns the cache off).
// False when the allocation fails.
bool TokenCacheInit(TokenCache* cache, uint32_t slots);
void TokenCacheFree(TokenCache* cache);
// Empties the table unless it was filled for this tagger and title-dictionary state.
void TokenCachePrepare(TokenCache* cache, const void* tagger, uint32_t dict_entries);
// Fills `key` for the token; false when the token is too long to be cached.
bool TokenCacheKey(const char* token, uint8_t context, TokenKey* key);
// The class stored for the key (0 to 65535), or -1 for none. A hit becomes
// the most recently used entry of its set.
int32_t TokenCacheFind(TokenCache* cache, const TokenKey& key);
// Stores the key's class as the most recently used entry of its set, evicting the least
// recently used one.
void TokenCacheStore(TokenCache* cache, const TokenKey& key, int32_t class_number);

}  // namespace vtm
