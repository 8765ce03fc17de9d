// The three walks instantiated from the core, and the class walk's enumeration of tag
// chains after a matched tag separator.
#include "lookup/walk_core.h"

namespace vtm {
namespace {

// Longest chain followed: its values v + 64 * j must stay within 16 bits.
inline constexpr int kMaxChain = 1024;

int WriteChain(const Network& net, uint32_t q, uint8_t label, uint16_t* out, int capacity,
               int* count) {
  const uint32_t v = (label & kCodeMask) >> 2;
  for (int j = 0; j < kMaxChain; ++j) {
    if (label & kFinalBit) {
      if (*count >= capacity) return VTM_ERR_OUTPUT_TOO_LONG;
      out[(*count)++] = static_cast<uint16_t>(v + 64 * j);
    }
    if (!net.NextLabel(q, &q, &label)) break;
  }
  return 0;
}

// A generic table in the class list: every entry starts a chain, an entry whose code
// equals the current exception's code starting at the exception instead.
int WriteTableChains(const Network& net, uint8_t table_code, uint32_t t, uint8_t table_label,
                     uint16_t* out, int capacity, int* count) {
  uint32_t x = 0;
  uint8_t xl = kNoLabel;
  if (!(table_label & kMoreBit) || !net.NextAlternative(t, &x, &xl)) xl = kNoLabel;
  uint32_t q;
  uint8_t g;
  if (!net.NextLabel(t, &q, &g)) return 0;
  for (;;) {
    const uint8_t code = g & kCodeMask;
    if (code != table_code) {
      int r;
      if (code == (xl & kCodeMask)) {
        r = WriteChain(net, x, xl, out, capacity, count);
        if (!(xl & kMoreBit) || !net.NextAlternative(x, &x, &xl)) xl = kNoLabel;
      } else {
        r = WriteChain(net, q, g, out, capacity, count);
      }
      if (r < 0) return r;
    }
    if (!(g & kMoreBit)) return 0;
    q += 4;
    g = net.At(q);
  }
}

}  // namespace

int EnumerateClasses(const Network& net, uint8_t table_code, uint32_t p, uint16_t* out,
                     int capacity, int* count) {
  uint32_t q;
  uint8_t label;
  if (!net.NextLabel(p, &q, &label)) return 0;
  for (uint32_t k = 0; k < kMaxAlternatives; ++k) {
    // A table's more_bit introduces its exceptions, so a table ends the list.
    if ((label & kCodeMask) == table_code) {
      return WriteTableChains(net, table_code, q, label, out, capacity, count);
    }
    const int r = WriteChain(net, q, label, out, capacity, count);
    if (r < 0) return r;
    if (!(label & kMoreBit) || !net.NextAlternative(q, &q, &label)) break;
  }
  return 0;
}

int LookupWalk(const VtmFsmRec* fsm, const WalkArgs& args) {
  return RunWalk<WalkKind::kLookup>(fsm, args);
}

int InverseWalk(const VtmFsmRec* fsm, const WalkArgs& args) {
  return RunWalk<WalkKind::kInverse>(fsm, args);
}

int ClassWalk(const VtmFsmRec* fsm, const WalkArgs& args) {
  return RunWalk<WalkKind::kClass>(fsm, args);
}

}  // namespace vtm
