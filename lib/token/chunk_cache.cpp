// The tokenizer's cache of chunk outputs (see chunk_cache.h).
#include "token/chunk_cache.h"

#include <cstring>

namespace vtm {

ChunkCache::Key ChunkCache::KeyOf(const char* chunk, int length) {
  Key key{};
  key.length = static_cast<uint8_t>(length);
  std::memcpy(key.chunk, chunk, static_cast<std::size_t>(length));
  return key;
}

uint32_t ChunkCache::SetOfKey(const Key& key) {
  uint64_t w[3];
  std::memcpy(w, &key, sizeof w);
  // Each word multiplied by its own odd constant; the high bits, where every byte of
  // the key has reached, pick the set.
  const uint64_t h =
      w[0] * 0x9E3779B97F4A7C15ull ^ w[1] * 0xC2B2AE3D27D4EB4Full ^ w[2] * 0x165667B19E3779F9ull;
  return static_cast<uint32_t>((h ^ (h >> 29)) >> 40) & (kSets - 1);
}

uint32_t ChunkCache::SetOf(const char* chunk, int length) {
  return SetOfKey(KeyOf(chunk, length));
}

ChunkCache::Cached* ChunkCache::Find(const char* chunk, int length) {
  if (length <= 0 || length > kMaxChunk) return nullptr;
  const Key key = KeyOf(chunk, length);
  Entry* set = entries_ + SetOfKey(key) * kWays;
  for (uint32_t w = 0; w < kWays; ++w) {
    if (std::memcmp(&set[w].key, &key, sizeof key) != 0) continue;
    if (w > 0) {
      // Entries [0, w) move one place down; the hit goes first.
      const Entry hit = set[w];
      std::memmove(set + 1, set, w * sizeof(Entry));
      set[0] = hit;
    }
    return &set[0].cached;
  }
  return nullptr;
}

ChunkCache::Cached* ChunkCache::Store(const char* chunk, int length, const char* output) {
  if (length <= 0 || length > kMaxChunk) return nullptr;
  const std::size_t n = std::strlen(output);
  if (n > static_cast<std::size_t>(kMaxOutput)) return nullptr;
  const Key key = KeyOf(chunk, length);
  Entry* set = entries_ + SetOfKey(key) * kWays;
  std::memmove(set + 1, set, (kWays - 1) * sizeof(Entry));
  Entry& e = set[0];
  e.key = key;
  e.cached.token_count = 0;
  std::memcpy(e.cached.output, output, n + 1);
  return &e.cached;
}

bool ChunkCache::SetTokens(Cached* cached, const Token* tokens, int count) {
  if (count <= 0 || count > kMaxTokens) return false;
  std::memcpy(cached->tokens, tokens, static_cast<std::size_t>(count) * sizeof(Token));
  cached->token_count = static_cast<uint8_t>(count);
  return true;
}

}  // namespace vtm
