// The tokenizer's cache of chunk outputs (see chunk_cache.h).
#include "token/chunk_cache.h"

#include <cstring>

namespace vtm {

uint32_t ChunkCache::Slot(const char* chunk, int length) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (int k = 0; k < length; ++k) {
    h ^= static_cast<unsigned char>(chunk[k]);
    h *= 16777619u;
  }
  return (h ^ (h >> 15)) & (kEntries - 1);
}

const char* ChunkCache::Find(const char* chunk, int length) const {
  if (length <= 0 || length > kMaxChunk) return nullptr;
  const Entry& e = entries_[Slot(chunk, length)];
  if (e.length != length || std::memcmp(e.chunk, chunk, static_cast<std::size_t>(length)) != 0)
    return nullptr;
  return e.output;
}

void ChunkCache::Store(const char* chunk, int length, const char* output) {
  if (length <= 0 || length > kMaxChunk) return;
  const std::size_t n = std::strlen(output);
  if (n > static_cast<std::size_t>(kMaxOutput)) return;
  Entry& e = entries_[Slot(chunk, length)];
  e.length = static_cast<uint8_t>(length);
  std::memcpy(e.chunk, chunk, static_cast<std::size_t>(length));
  std::memcpy(e.output, output, n + 1);
}

}  // namespace vtm
