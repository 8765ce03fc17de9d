// The tokenizer's cache of chunk outputs (see chunk_cache.h).
#include "token/chunk_cache.h"

#include <cstring>

namespace vtm {

uint32_t ChunkCache::SetOf(const char* chunk, int length) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (int k = 0; k < length; ++k) {
    h ^= static_cast<unsigned char>(chunk[k]);
    h *= 16777619u;
  }
  return (h ^ (h >> 15)) & (kSets - 1);
}

const char* ChunkCache::Find(const char* chunk, int length) {
  if (length <= 0 || length > kMaxChunk) return nullptr;
  Entry* set = entries_ + SetOf(chunk, length) * kWays;
  for (uint32_t w = 0; w < kWays; ++w) {
    if (set[w].length != length ||
        std::memcmp(set[w].chunk, chunk, static_cast<std::size_t>(length)) != 0)
      continue;
    if (w > 0) {
      // Entries [0, w) move one place down; the hit goes first.
      const Entry hit = set[w];
      std::memmove(set + 1, set, w * sizeof(Entry));
      set[0] = hit;
    }
    return set[0].output;
  }
  return nullptr;
}

void ChunkCache::Store(const char* chunk, int length, const char* output) {
  if (length <= 0 || length > kMaxChunk) return;
  const std::size_t n = std::strlen(output);
  if (n > static_cast<std::size_t>(kMaxOutput)) return;
  Entry* set = entries_ + SetOf(chunk, length) * kWays;
  std::memmove(set + 1, set, (kWays - 1) * sizeof(Entry));
  Entry& e = set[0];
  e.length = static_cast<uint8_t>(length);
  std::memcpy(e.chunk, chunk, static_cast<std::size_t>(length));
  std::memcpy(e.output, output, n + 1);
}

}  // namespace vtm
