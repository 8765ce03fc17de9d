// The class table's nearest lookup with and without its scan order (ClassTableIndex)
// against a deliberately plain reference: the visiting order rebuilt from the insertion
// order and the chain of each key, and the distance counted from the set intersection
// (4 per shared symbol, -3 per token symbol the class lacks, -2 per class symbol the
// token lacks). Random tables over narrow symbol ranges (every symbol in the same mask
// bit position classes) and wide ones (symbols 64 apart share a mask bit), random token
// keys, and the tie cases of the visiting order. The buffers' memo of nearest answers is
// checked against the same reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>

#include "support/tagger_fixtures.h"
#include "tagger/tagger.h"

namespace vtm {
namespace {

using Key = std::vector<uint16_t>;

int32_t RefDistance(const Key& token, const Key& key) {
  Key shared;
  std::set_intersection(token.begin(), token.end(), key.begin(), key.end(),
                        std::back_inserter(shared));
  const auto c = static_cast<int32_t>(shared.size());
  return 4 * c - 3 * (static_cast<int32_t>(token.size()) - c) -
         2 * (static_cast<int32_t>(key.size()) - c);
}

// Class number (= insertion index) of the nearest key: chains in ascending order, each
// from its newest key, the first of equal distances.
int32_t RefNearest(const std::vector<Key>& keys, const Key& token) {
  std::vector<std::vector<int32_t>> chains(kClassChains);
  for (std::size_t k = 0; k < keys.size(); ++k) {
    auto& chain =
        chains[ClassKeyHash(keys[k].data(), static_cast<uint32_t>(keys[k].size())) % kClassChains];
    chain.insert(chain.begin(), static_cast<int32_t>(k));
  }
  int64_t best = INT64_MIN;
  int32_t found = 0;
  for (const auto& chain : chains) {
    for (int32_t k : chain) {
      const int32_t d = RefDistance(token, keys[static_cast<std::size_t>(k)]);
      if (d > best) best = d, found = k;
    }
  }
  return found;
}

using Table = test::KeyTable;

Key RandomKey(std::mt19937& rng, int max_size, int symbols, int spread) {
  std::set<uint16_t> set;
  const int size = std::uniform_int_distribution<int>(0, max_size)(rng);
  for (int k = 0; k < size; ++k) {
    set.insert(static_cast<uint16_t>((rng() % static_cast<unsigned>(symbols)) * spread));
  }
  return Key(set.begin(), set.end());
}

TEST(ClassTableNearest, ScanOrderPlainScanAndMemoAgreeWithTheReference) {
  std::mt19937 rng(604);
  std::size_t compared = 0;
  constexpr int kTables = 120;
  constexpr int kTokensPerTable = 60;
  for (int n = 0; n < kTables; ++n) {
    // Narrow: symbols 0..11; wide: multiples of 64 or of 7 up to about 4000.
    const int symbols = n % 3 == 0 ? 12 : 60;
    const int spread = n % 3 == 0 ? 1 : n % 3 == 1 ? 64 : 7;
    std::vector<Key> keys;
    std::set<Key> seen;
    const int count = std::uniform_int_distribution<int>(0, 400)(rng);
    for (int k = 0; k < count; ++k) {
      // Some tables have keys of up to 16 symbols: equal distances then also come from
      // keys of different sizes (2 more shared symbols and 9 more symbols), which a
      // search by size must still settle by scan order.
      Key key = RandomKey(rng, n % 4 == 3 ? 16 : 8, symbols, spread);
      if (!key.empty() && seen.insert(key).second) keys.push_back(key);
    }
    Table plain(keys);
    Table indexed(keys);
    ASSERT_TRUE(ClassTableIndex(&indexed.t));
    ASSERT_EQ(indexed.t.scan == nullptr, keys.empty());
    // Memos of one entry (every key evicts the last) and of eight.
    NearestMemo tiny, small;
    ASSERT_TRUE(NearestMemoInit(&tiny, 1));
    ASSERT_TRUE(NearestMemoInit(&small, 8));
    std::vector<Key> earlier;
    for (int k = 0; k < kTokensPerTable; ++k) {
      // Half the tokens repeat an earlier one, so that the memos answer some.
      const Key token = !earlier.empty() && rng() % 2 ? earlier[rng() % earlier.size()]
                                                      : RandomKey(rng, 14, symbols, spread);
      earlier.push_back(token);
      const int32_t want = keys.empty() ? 0 : RefNearest(keys, token);
      ASSERT_EQ(plain.Nearest(token), want) << "table " << n << " token " << k;
      ASSERT_EQ(indexed.Nearest(token), want) << "table " << n << " token " << k;
      const auto size = static_cast<uint32_t>(token.size());
      ASSERT_EQ(NearestClassMemoized(&tiny, indexed.t, token.data(), size), want);
      ASSERT_EQ(NearestClassMemoized(&small, indexed.t, token.data(), size), want);
      ++compared;
    }
    NearestMemoFree(&tiny);
    NearestMemoFree(&small);
  }
  EXPECT_EQ(compared, static_cast<std::size_t>(kTables * kTokensPerTable));
}

TEST(ClassTableNearest, TiesKeepTheFirstVisitedWithTheScanOrder) {
  // (keys, token, nearest)
  const std::vector<std::tuple<std::vector<Key>, Key, int32_t>> cases = {
      {{{7}, {2}}, {5}, 1},     // equal distances: chain 2 before chain 7
      {{{2}, {7}}, {5}, 0},     //
      {{{5}, {1014}}, {9}, 1},  // one chain: its newer entry first
      {{{1014}, {5}}, {9}, 1},  //
      {{{3, 4, 5, 6}, {3}}, {3, 5}, 0},
      {{{69}, {5}}, {5}, 1},        // 5 and 69 share a mask bit but not a symbol
      {{{5}, {69, 133}}, {69}, 1},  // 4 - 2 = 2 against -3 - 2 = -5
      {{{133}, {5}}, {5, 69}, 1},   // 133 has the mask bit of both, but neither symbol
  };
  for (const auto& [keys, token, nearest] : cases) {
    Table indexed(keys);
    ASSERT_TRUE(ClassTableIndex(&indexed.t));
    EXPECT_EQ(RefNearest(keys, token), nearest);
    EXPECT_EQ(indexed.Nearest(token), nearest);
  }
  // Equal distances from keys of different sizes: {1} and {1, 2, 3, 10, ..., 16} are both
  // at -2 from {1, 2, 3}; the first in scan order wins, whichever size it has.
  const Key one = {1};
  const Key ten = {1, 2, 3, 10, 11, 12, 13, 14, 15, 16};
  for (const std::vector<Key>& keys : {std::vector<Key>{one, ten}, std::vector<Key>{ten, one}}) {
    Table indexed(keys);
    ASSERT_TRUE(ClassTableIndex(&indexed.t));
    const Key token = {1, 2, 3};
    ASSERT_EQ(RefDistance(token, one), RefDistance(token, ten));
    EXPECT_EQ(indexed.Nearest(token), RefNearest(keys, token));
  }
  // An insertion after indexing drops the scan order, which would miss the new entry.
  Table table({{7}, {2}});
  ASSERT_TRUE(ClassTableIndex(&table.t));
  table.t.capacity = 3;  // the fixture has room for one entry more
  const uint16_t five[] = {5};
  ASSERT_TRUE(ClassTableInsert(&table.t, five, 1, 2));
  EXPECT_EQ(table.t.scan, nullptr);
  EXPECT_EQ(table.Nearest({5}), 2);
}

}  // namespace
}  // namespace vtm
