// The tokenizer's cache of chunk outputs (see chunk_cache.h).
#include "token/chunk_cache.h"

#include <cstring>

namespace vtm {

namespace {

// A chunk of 1 to ChunkCache::kMaxChunk bytes as three words: loads that stay inside it
// and, given its length, cover every byte of it, so two chunks of one length are equal
// exactly when their words are. The words are built in registers (no copy of the chunk
// through memory, which the loads would wait for).
struct ChunkWords {
  uint64_t w0, w1, w2;
  bool operator==(const ChunkWords&) const = default;
};

inline uint64_t Load64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline uint64_t Load32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline ChunkWords WordsOf(const char* p, int n) {
  if (n >= 16) return {Load64(p), Load64(p + 8), Load64(p + n - 8)};
  if (n >= 8) return {Load64(p), Load64(p + n - 8), 0};
  if (n >= 4) return {Load32(p) | Load32(p + n - 4) << 32, 0, 0};
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return {u[0] | static_cast<uint64_t>(u[n / 2]) << 8 | static_cast<uint64_t>(u[n - 1]) << 16, 0,
          0};
}

// Each word multiplied by its own odd constant, the length added in; the high bits,
// where every byte has reached, pick the set and the fingerprint.
inline uint64_t HashOf(const ChunkWords& w, int n) {
  const uint64_t h = (w.w0 + static_cast<uint64_t>(n)) * 0x9E3779B97F4A7C15ull ^
                     w.w1 * 0xC2B2AE3D27D4EB4Full ^ w.w2 * 0x165667B19E3779F9ull;
  return h ^ (h >> 29);
}

inline uint32_t SetOfHash(uint64_t h) {
  return static_cast<uint32_t>(h >> 40) & (ChunkCache::kSets - 1);
}

// 1 to 255, from bits the set does not use.
inline uint32_t FingerprintOfHash(uint64_t h) {
  const uint32_t f = static_cast<uint32_t>(h >> 32) & 0xFF;
  return f != 0 ? f : 1;
}

}  // namespace

ChunkCache::ChunkCache() {
  for (uint64_t& t : tags_) t = kEmptyTags;
}

uint32_t ChunkCache::SetOf(const char* chunk, int length) {
  return SetOfHash(HashOf(WordsOf(chunk, length), length));
}

uint32_t ChunkCache::FingerprintOf(const char* chunk, int length) {
  return FingerprintOfHash(HashOf(WordsOf(chunk, length), length));
}

ChunkCache::Cached* ChunkCache::Find(const char* chunk, int length) {
  if (length <= 0 || length > kMaxChunk) return nullptr;
  const ChunkWords words = WordsOf(chunk, length);
  const uint64_t h = HashOf(words, length);
  const uint32_t set = SetOfHash(h);
  const uint64_t want = FingerprintOfHash(h) << 2;
  const uint64_t tags = tags_[set];
  for (int lane = 0; lane < static_cast<int>(kWays); ++lane) {
    const uint64_t tag = tags >> (16 * lane) & 0xFFFF;
    if ((tag & 0x3FC) != want) continue;
    Entry& e = entries_[set * kWays + (tag & 3)];
    if (e.length != length || !(WordsOf(e.chunk, length) == words)) continue;
    if (lane > 0) {
      // Lanes [0, lane) move one place up; the hit's lane goes first.
      const uint64_t below = tags & ((uint64_t{1} << (16 * lane)) - 1);
      const uint64_t above =
          lane + 1 < static_cast<int>(kWays) ? tags & ~((uint64_t{1} << (16 * (lane + 1))) - 1) : 0;
      tags_[set] = above | below << 16 | tag;
    }
    return &e.cached;
  }
  // A miss is followed by a walk and then, most often, by Store into the least recently
  // used place of this set: its line is fetched for writing while the walk runs.
  __builtin_prefetch(&entries_[set * kWays + (tags >> (16 * (kWays - 1)) & 3)], 1);
  return nullptr;
}

ChunkCache::Cached* ChunkCache::Store(const char* chunk, int length, const char* output) {
  if (length <= 0 || length > kMaxChunk) return nullptr;
  const std::size_t n = std::strlen(output);
  if (n > static_cast<std::size_t>(kMaxOutput)) return nullptr;
  const uint64_t h = HashOf(WordsOf(chunk, length), length);
  const uint32_t set = SetOfHash(h);
  // The least recently used entry's place is taken; its lane goes first.
  const uint64_t tags = tags_[set];
  const uint64_t place = tags >> (16 * (kWays - 1)) & 3;
  tags_[set] = tags << 16 | FingerprintOfHash(h) << 2 | place;
  Entry& e = entries_[set * kWays + place];
  e.length = static_cast<uint8_t>(length);
  std::memcpy(e.chunk, chunk, static_cast<std::size_t>(length));
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
