// A bounded memo of `vtm lookup` / `vtm generate` output: the formatted output block of
// each distinct input line, so that a word seen again is answered by one copy instead of
// coding, walking, decoding and formatting it again. Running text repeats most of its
// words (100,000 Brown tokens hold about 14,000 distinct forms), and one process always
// answers a line the same way: the transducer, the client dictionary, the mode and the
// output form are fixed before the first line is read.
//
// The memo is an open-addressing table of entries whose keys and values live in one byte
// arena. It holds at most `max_entries` entries and `max_bytes` bytes of keys and values;
// an insertion that would pass either cap first empties the memo (a whole-table flush:
// no per-entry bookkeeping on the hit path, and a Zipfian input refills its frequent
// words at once). Keys and values over a size limit are never stored. Nothing is
// allocated until the first insertion, so a process that looks up one word pays nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtm::cli {

class OutputCache {
 public:
  // Longest key and value that are stored; longer ones are passed over.
  static constexpr std::size_t kMaxKeyBytes = 256;
  static constexpr std::size_t kMaxValueBytes = 4096;

  OutputCache(std::size_t max_entries, std::size_t max_bytes);

  // The value stored for `key`, if any; valid until the next Insert. Inline: it runs
  // once per input line, and most lines of running text are answered here.
  std::optional<std::string_view> Find(std::string_view key) const { return Find(key, Hash(key)); }
  // The same with the key's hash (HashOf), which the caller keeps for Insert.
  std::optional<std::string_view> Find(std::string_view key, std::uint64_t h) const {
    if (slots_.empty()) return std::nullopt;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
      const std::uint32_t slot = slots_[i];
      if (slot == 0) return std::nullopt;
      const Entry& e = entries_[slot - 1];
      if (e.hash == h && e.key_size == key.size() &&
          Equal(arena_.data() + e.offset, key.data(), key.size()))
        return std::string_view(arena_.data() + e.offset + e.key_size, e.value_size);
    }
  }

  // Stores `value` for `key` (which must not be present). Empties the memo first when the
  // entry would pass a cap; passes over keys and values above the size limits.
  void Insert(std::string_view key, std::string_view value) { Insert(key, Hash(key), value); }
  void Insert(std::string_view key, std::uint64_t hash, std::string_view value);

  static std::uint64_t HashOf(std::string_view key) { return Hash(key); }

  std::size_t entries() const { return entries_.size(); }
  std::size_t bytes() const { return arena_.size(); }
  std::size_t flushes() const { return flushes_; }

 private:
  struct Entry {
    std::uint64_t hash;
    std::uint32_t offset;  // of the key in arena_; the value follows it
    std::uint32_t key_size;
    std::uint32_t value_size;
  };

  static std::uint64_t Load8(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  }
  static std::uint64_t Load4(const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  // The bytes of a key of n bytes, n below 8, as one number: two overlapping four-byte
  // loads from 4 bytes up, else the first, middle and last byte (which cover 1 to 3).
  static std::uint64_t Short(const char* p, std::size_t n) {
    if (n >= 4) return Load4(p) | Load4(p + n - 4) << 32;
    if (n == 0) return 0;
    return static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[n / 2]) << 8 |
           static_cast<std::uint64_t>(static_cast<unsigned char>(p[n - 1])) << 16;
  }

  // Words are short: eight bytes at a time (the last eight overlapping the ones before),
  // multiplied and folded, then a final mix so that the low bits, which pick the slot,
  // depend on every byte.
  static std::uint64_t Hash(std::string_view key) {
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    const char* p = key.data();
    const std::size_t n = key.size();
    std::uint64_t h = n * kMul;
    if (n < 8) {
      h = (h ^ Short(p, n)) * kMul;
    } else {
      for (std::size_t i = 0; i + 8 <= n; i += 8) {
        h = (h ^ Load8(p + i)) * kMul;
        h ^= h >> 29;
      }
      if (n % 8) h = (h ^ Load8(p + n - 8)) * kMul;
    }
    h ^= h >> 32;
    h *= kMul;
    h ^= h >> 29;
    return h;
  }

  // Equality of two keys of n bytes, by the same loads.
  static bool Equal(const char* a, const char* b, std::size_t n) {
    if (n < 8) return Short(a, n) == Short(b, n);
    for (std::size_t i = 0; i + 8 <= n; i += 8)
      if (Load8(a + i) != Load8(b + i)) return false;
    return Load8(a + n - 8) == Load8(b + n - 8);
  }
  void Clear();
  void Grow();

  std::size_t max_entries_;
  std::size_t max_bytes_;
  std::vector<Entry> entries_;
  std::vector<std::uint32_t> slots_;  // entry index + 1; 0 is an empty slot
  std::string arena_;
  std::size_t flushes_ = 0;
};

}  // namespace vtm::cli
