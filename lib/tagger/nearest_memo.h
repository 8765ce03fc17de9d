// A per-buffer memo of nearest-class searches. A tag set that is no class of the model
// is resolved by comparing it with every class that could be nearer than the best so far;
// the same sets come back often in real text (the guesser's answers for unknown words of
// one shape), and the answer depends only on the set and the tagger's class table, so a
// fixed, direct-mapped table made with the buffer remembers it. Nothing is allocated while
// tagging. Tested in tests/lib/tagger_nearest_test.cpp.
#pragma once

#include <cstdint>

namespace vtm {

struct VtmClassTable;
struct NearestMemoEntry;

struct NearestMemo {
  NearestMemoEntry* entries;  // owned; null when the memo is off
  uint32_t mask;              // entries - 1 (a power of two)
  const void* owner;          // the class table the answers are for
};

// Largest key that is memoized.
inline constexpr uint32_t kNearestMemoSymbols = 12;

// Allocates `entries` empty entries (rounded down to a power of two; 0 turns it off).
// False when the allocation fails.
bool NearestMemoInit(NearestMemo* memo, uint32_t entries);
void NearestMemoFree(NearestMemo* memo);
// ClassTableNearest(table, key, n), answered from the memo when it holds the key. A memo
// filled for another table is emptied first.
int32_t NearestClassMemoized(NearestMemo* memo, const VtmClassTable& table, const uint16_t* key,
                             uint32_t n);

}  // namespace vtm
