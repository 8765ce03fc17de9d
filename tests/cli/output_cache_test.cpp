// Tests of the output memo of `vtm lookup` and `vtm generate` (cli/output_cache.h) on
// random insertions and look-ups against a plain map of what was inserted: a key the memo
// answers gets exactly the value stored for it, a key just stored is answered, the caps
// hold after every step, and a memo large enough for everything loses nothing.
#include "output_cache.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace vtm::cli {
namespace {

// Keys with shared prefixes and every length up to past the size limit, so that the
// eight-byte steps of the hash and its tail both vary, and the empty key.
std::string RandomKey(std::mt19937_64& random, std::size_t vocabulary) {
  const std::size_t n = random() % vocabulary;
  std::string key = "w";
  key += std::to_string(n);
  if (n % 7 == 0) key.assign(n % (OutputCache::kMaxKeyBytes + 40), 'k');
  if (n % 11 == 0) key += std::string(n % 19, '\xe9');
  return key;
}

std::string RandomValue(std::mt19937_64& random, const std::string& key) {
  std::string value = key;
  value.push_back('\t');
  const std::size_t n =
      random() % 100 == 0 ? OutputCache::kMaxValueBytes + random() % 50 : random() % 200;
  for (std::size_t i = 0; i < n; ++i) value.push_back(static_cast<char>('a' + random() % 26));
  value += "\n\n";
  return value;
}

void Exercise(std::size_t max_entries, std::size_t max_bytes, std::size_t vocabulary,
              std::uint64_t seed, bool expect_flushes) {
  std::mt19937_64 random(seed);
  OutputCache cache(max_entries, max_bytes);
  std::map<std::string, std::string> inserted;  // every value ever stored, by key
  std::size_t hits = 0;
  for (int step = 0; step < 20000; ++step) {
    const std::string key = RandomKey(random, vocabulary);
    std::optional<std::string_view> found = cache.Find(key);
    auto it = inserted.find(key);
    if (found) {
      ASSERT_NE(it, inserted.end()) << "answered a key never stored: " << key;
      ASSERT_EQ(*found, it->second) << key;
      ++hits;
      continue;
    }
    // The values of a key are the same on every insertion, as a process's output is.
    const std::string value = it == inserted.end() ? RandomValue(random, key) : it->second;
    inserted[key] = value;
    cache.Insert(key, value);
    ASSERT_LE(cache.entries(), max_entries);
    ASSERT_LE(cache.bytes(), max_bytes);
    const bool storable = key.size() <= OutputCache::kMaxKeyBytes &&
                          value.size() <= OutputCache::kMaxValueBytes &&
                          key.size() + value.size() <= max_bytes && max_entries > 0;
    found = cache.Find(key);
    ASSERT_EQ(found.has_value(), storable) << key;
    if (found) {
      ASSERT_EQ(*found, value);
    }
  }
  EXPECT_GT(hits, 0u);
  if (expect_flushes) {
    EXPECT_GT(cache.flushes(), 0u);
  } else {
    EXPECT_EQ(cache.flushes(), 0u);
    // Nothing was lost: every storable key inserted is still answered.
    for (const auto& [key, value] : inserted) {
      const bool storable =
          key.size() <= OutputCache::kMaxKeyBytes && value.size() <= OutputCache::kMaxValueBytes;
      ASSERT_EQ(cache.Find(key).has_value(), storable) << key;
    }
  }
}

TEST(OutputCache, LargeEnoughLosesNothing) {
  for (std::uint64_t seed = 1; seed <= 5; ++seed) Exercise(1 << 16, 64 << 20, 3000, seed, false);
}

TEST(OutputCache, EntryCapFlushes) {
  for (std::uint64_t seed = 1; seed <= 20; ++seed)
    Exercise(5 + seed * 37, 64 << 20, 3000, seed, true);
}

TEST(OutputCache, ByteCapFlushes) {
  for (std::uint64_t seed = 1; seed <= 20; ++seed)
    Exercise(1 << 16, 2000 + seed * 500, 500, seed, true);
}

TEST(OutputCache, ZeroEntriesStoresNothing) {
  OutputCache cache(0, 1 << 20);
  cache.Insert("house", "house\t+?\n\n");
  EXPECT_FALSE(cache.Find("house").has_value());
  EXPECT_EQ(cache.entries(), 0u);
}

TEST(OutputCache, EmptyKeyAndKeysDifferingInOneByte) {
  OutputCache cache(100, 1 << 20);
  cache.Insert("", "\t+?\n\n");
  std::string key(40, 'a');
  for (std::size_t i = 0; i < key.size(); ++i) {
    std::string k = key;
    k[i] = 'b';
    cache.Insert(k, std::to_string(i));
  }
  ASSERT_TRUE(cache.Find("").has_value());
  EXPECT_EQ(*cache.Find(""), "\t+?\n\n");
  EXPECT_FALSE(cache.Find(key).has_value());
  for (std::size_t i = 0; i < key.size(); ++i) {
    std::string k = key;
    k[i] = 'b';
    ASSERT_TRUE(cache.Find(k).has_value());
    EXPECT_EQ(*cache.Find(k), std::to_string(i));
  }
}

}  // namespace
}  // namespace vtm::cli
