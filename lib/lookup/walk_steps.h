// Steps shared by the walks: seeking an input symbol in an arc list (with direct-index
// tables), and the silent-cycle guard.
#pragma once

#include <cstdint>

#include "lookup/network.h"

namespace vtm {

// The entry for input code s in the direct-index table whose label is at `table_at`.
// The table's first entry (code s0) is the next label after the table label, at u; the
// entry for s is at u + (s - s0), entries being 4 bytes apart as codes step by 4. With
// code_flags bit 6 the byte at u - 1 bounds s - s0; with bit 5 the table is sparse and
// the entry's offset is the byte at u - 1 - (s - s0) / 4 (0: no entry). The label found
// must carry code s.
//
// The table's first entry is reached through a reference; `memo` keeps the last table
// found, which a walk through a state that loops on itself (the letters of a word) meets
// again at once. The network does not change during a walk, and a memo is only stored
// by a successful NextLabel (which leaves the walk's state untouched), so the memo gives
// what NextLabel would.
struct TableMemo {
  uint32_t at = Network::kNowhere;  // table label location, or nowhere
  uint32_t first_at = 0;            // its first entry
  uint8_t first = 0;                // that entry's label
};

VTM_INLINE bool TableEntry(const Network& net, uint8_t s, uint32_t table_at, uint8_t code_flags,
                           TableMemo* memo, uint32_t* p, uint8_t* label) {
  uint32_t u;
  uint8_t first;
  if (table_at == memo->at) {
    u = memo->first_at;
    first = memo->first;
  } else {
    if (!net.NextLabel(table_at, &u, &first)) return false;
    *memo = TableMemo{table_at, u, first};
  }
  const uint32_t s0 = first & kCodeMask;
  if (s < s0) return false;
  uint32_t offset = s - s0;
  if ((code_flags & kCodeTableMax) && offset > net.At(u - 1)) return false;
  if (code_flags & kCodeTableSparse) {
    offset = net.At(u - 1 - offset / kCodeStep);
    if (offset == 0) return false;
  }
  const uint8_t found = net.Padded(u + offset);  // offset < 256: within the padding
  if ((found & kCodeMask) != s || !net.IsLabel(found)) return false;
  *p = u + offset;
  *label = found;
  return true;
}

// Scans the arc list that starts with the symbol arc (*p, *label) for input code s and
// leaves the matching arc in (*p, *label). Alternatives are not pushed: a list carries a
// symbol at most once. A table label without more_bit is looked up at once; one with
// more_bit makes the list sorted from there: the arcs after it are exceptions ordered by
// code, so an explicit arc for s met before the scan passes s wins over the table.
VTM_INLINE bool SeekSymbol(const Network& net, uint8_t s, uint8_t table_code, uint8_t code_flags,
                           TableMemo* memo, uint32_t* p, uint8_t* label) {
  uint32_t loc = *p;
  uint8_t l = *label;
  bool sorted = false;
  uint32_t table_at = 0;
  for (uint32_t k = 0; k < kMaxAlternatives; ++k) {
    const uint8_t code = l & kCodeMask;
    if (VTM_UNLIKELY(code == table_code)) {
      if (!(l & kMoreBit)) return TableEntry(net, s, loc, code_flags, memo, p, label);
      sorted = true;
      table_at = loc;
    } else if (code == s) {
      *p = loc;
      *label = l;
      return true;
    } else if (sorted && code > s) {
      break;
    }
    if (!(l & kMoreBit) || !net.NextAlternative(loc, &loc, &l)) break;
  }
  return sorted && TableEntry(net, s, table_at, code_flags, memo, p, label);
}

// Detects a walk that goes round a cycle forever without pushing or popping an entry,
// consuming input or writing (for instance a final state whose only arc is a
// flag-diacritic loop). The guard watches arrivals once 64 of them have passed without
// a push or a pop (Reset). Between two such arrivals the input index only grows, and the
// work index only grows unless input was consumed (a non-identity pair takes its symbol
// back after matching it), so an arrival that repeats location, flag state, input and
// work index ends a stretch that consumed and wrote nothing; such a stretch is
// deterministic, so the repeat means a cycle. Brent's method finds it in a bounded number
// of steps without any memory. The walk then treats the repeated state as a dead end:
// every accept on the cycle has been met.
class SilentGuard {
 public:
  VTM_INLINE void Reset() { run_ = 0; }
  VTM_INLINE bool Cycle(uint32_t p, uint32_t flags, uint32_t in_pos, uint32_t out_pos) {
    if (VTM_LIKELY(++run_ < kWatchAfter)) return false;
    return Watch(Key{p, flags, in_pos, out_pos});
  }

 private:
  struct Key {
    uint32_t p, flags, in_pos, out_pos;
    bool operator==(const Key&) const = default;
  };
  static constexpr uint32_t kWatchAfter = 64;
  bool Watch(const Key& key) {
    if (run_ == kWatchAfter) {
      power_ = 1;
      lam_ = 0;
      saved_ = key;
      return false;
    }
    if (key == saved_) return true;
    if (++lam_ == power_) {
      saved_ = key;
      power_ <<= 1;
      lam_ = 0;
    }
    return false;
  }

  uint32_t run_ = 0;
  uint32_t lam_ = 0;
  uint32_t power_ = 1;
  Key saved_{};
};

}  // namespace vtm
