// Reader of the byte-coded network, shared by every walk.
//
// Byte classes: 0 ends a branch; [near, far) is a one-byte state reference through the
// near state table; [far, abs) a two-byte reference through the far state table;
// [abs, label_base) a three-byte absolute location (plus a trailer in the extended
// format); label_base and above are label bytes: code in bits 7..2, final_bit (1), and
// more_bit (2: another alternative of the same list follows this arc's subtree).
//
// Safety: a network comes from an untrusted file. A read at a location that may lie
// anywhere goes through At(), which gives 0 (a dead end) for any location outside the
// network, so no reference, table index or subtree skip can read outside it, and every
// skip terminates (past the end each byte closes one pending branch). The loader puts
// kNetworkPad zero bytes after the network (fsm.h), so the bytes just after a label
// byte (a label lies inside the network) are read without a test: the label's target
// or reference, and the rest of a reference, which At() would also give as 0 past the
// end. Loops that may follow references backwards are bounded by the walks themselves.
#pragma once

#include <cstdint>

#include "fst/fsm.h"

namespace vtm {

// Upper bound on the alternatives that one scan of an arc list, operand list or class
// list visits. A list holds at most one arc per code (64 codes); only a damaged network
// whose alternatives refer back to each other comes near it.
inline constexpr uint32_t kMaxAlternatives = 1024;

#if defined(__GNUC__)
#define VTM_INLINE inline __attribute__((always_inline))
#define VTM_LIKELY(x) __builtin_expect(!!(x), 1)
#define VTM_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define VTM_INLINE inline
#define VTM_LIKELY(x) (x)
#define VTM_UNLIKELY(x) (x)
#endif

class Network {
 public:
  explicit Network(const VtmFsmRec* fsm)
      : bytes_(fsm->network),
        size_(fsm->network == nullptr ? 0 : fsm->header.network_size),
        near_(fsm->state_locations),
        far_(fsm->state_locations == nullptr ? nullptr : fsm->state_locations + kNearSlots),
        far_count_(fsm->far_count),
        far_base_(fsm->header.far_ref_base),
        abs_base_(fsm->header.abs_ref_base),
        label_base_(fsm->header.label_base),
        extended_(fsm->header.net_flags & kNetExtended) {}

  // A network whose label bytes could include 0 cannot be walked safely (0 must close a
  // branch); the walks treat it as empty.
  bool usable() const { return label_base_ != 0; }
  // True once a read of this walk has left the network (LabelAt): a sound network never
  // does, so the walk's answer would be incomplete and is reported as a damaged file.
  bool left() const { return left_; }
  // The walk's work count: its steps (Spend), its other costs (AddWork) and the bytes
  // read by subtree skips. A skip reads up to the whole network (twice its size past a
  // damaged end), and a damaged arc list can make every step skip kMaxAlternatives
  // times, so these bytes count toward the walk's step bound: it then bounds all the
  // work of a walk, not only its steps. One counter, so that the test per step is one
  // increment and one comparison.
  uint64_t work() const { return work_; }
  void SetWork(uint64_t n) const { work_ = n; }
  VTM_INLINE void AddWork(uint64_t n) const { work_ += n; }
  // One step; true when the count has passed `limit`.
  VTM_INLINE bool Spend(uint64_t limit) const { return ++work_ > limit; }
  uint8_t label_base() const { return label_base_; }

  VTM_INLINE uint8_t At(uint32_t loc) const { return VTM_LIKELY(loc < size_) ? bytes_[loc] : 0; }
  // The byte at `loc`, which must lie before size() + kNetworkPad (the zero bytes after
  // the network read as At() gives them).
  VTM_INLINE uint8_t Padded(uint32_t loc) const { return bytes_[loc]; }
  uint32_t size() const { return size_; }
  // Marks the walk as having left the network (a resumed step that lies outside it).
  void MarkLeft() const { left_ = true; }
  VTM_INLINE bool IsLabel(uint8_t b) const { return b >= label_base_; }

  // Bytes occupied by the reference whose first byte `b` (< label_base) is at `q`.
  // `inside`: q < size(), so the trailer's bytes lie before size() + kNetworkPad.
  VTM_INLINE uint32_t RefLength(uint32_t q, uint8_t b, bool inside = false) const {
    if (b < far_base_) return 1;
    if (b < abs_base_) return 2;
    if (!extended_) return 3;
    if ((inside ? Padded(q + 3) : At(q + 3)) != 0) return 4;
    if ((inside ? Padded(q + 4) : At(q + 4)) != 0) return 6;
    return 8;
  }

  // Location that the reference at `q` (first byte `b`) points to; any location that
  // holds no label (including one outside the network) reads as a dead end later.
  VTM_INLINE uint32_t Target(uint32_t q, uint8_t b) const {
    if (b < far_base_) return near_[b];  // kNowhere for 0 and below near_base_ too
    if (b < abs_base_) {
      const uint32_t index = (static_cast<uint32_t>(b - far_base_) << 8) | Padded(q + 1);
      return index < far_count_ ? far_[index] : kNowhere;
    }
    // An absolute reference; its byte `b` is not 0, so q lies inside the network and
    // the two bytes after it inside the padding at worst.
    const uint32_t high = static_cast<uint32_t>(b - abs_base_) << 16;
    return high | (static_cast<uint32_t>(Padded(q + 1)) << 8) | Padded(q + 2);
  }

  // The label at `q`, following one reference; false for a dead end. A read at or past
  // the network's end, or a reference that leads nowhere (an index beyond its state
  // table, a byte below the near-reference base, a location past the end), marks the
  // walk as having left the network.
  VTM_INLINE bool LabelAt(uint32_t q, uint32_t* p, uint8_t* label) const {
    return Follow(q, At(q), p, label);
  }

  // "The next label after p": the arc or target that follows the label byte at p, which
  // lies inside the network (so p + 1 is at most its end, a padding byte).
  VTM_INLINE bool NextLabel(uint32_t p, uint32_t* q, uint8_t* label) const {
    return Follow(p + 1, Padded(p + 1), q, label);
  }

  // Location just after the subtree that hangs from the label at p (where the next
  // alternative of p's list begins when p has more_bit). The bytes read are added to
  // work().
  VTM_INLINE uint32_t SkipSubtree(uint32_t p) const {
    uint32_t q = p + 1;
    uint32_t pending = 1;
    // Inside the network: a run of label bytes ends at its end at the latest (the
    // padding is zeros), and a reference that starts inside it ends within the padding.
    if (VTM_LIKELY(p < size_)) {
      for (;;) {
        const uint8_t b = Padded(q);
        if (IsLabel(b)) {
          ++q;
          pending += (b >> 1) & 1;
          continue;
        }
        if (VTM_UNLIKELY(q >= size_)) break;
        q += RefLength(q, b, true);
        if (--pending == 0) {
          work_ += q - p;
          return q;
        }
      }
    }
    // Past the end (a damaged network): each byte read as 0.
    for (;;) {
      const uint8_t b = At(q);
      if (IsLabel(b)) {
        ++q;
        pending += (b >> 1) & 1;
        continue;
      }
      q += RefLength(q, b);
      if (--pending == 0) {
        work_ += q - p;
        return q;
      }
    }
  }

  // The alternative after the subtree of the label at p (reference followed once).
  VTM_INLINE bool NextAlternative(uint32_t p, uint32_t* q, uint8_t* label) const {
    return LabelAt(SkipSubtree(p), q, label);
  }

  static constexpr uint32_t kNowhere = kNoLocation;

 private:
  // The label at q, whose byte is b (At(q)), following one reference.
  VTM_INLINE bool Follow(uint32_t q, uint8_t b, uint32_t* p, uint8_t* label) const {
    if (VTM_LIKELY(IsLabel(b))) {
      *p = q;
      *label = b;
      return true;
    }
    if (b == 0) {
      if (VTM_UNLIKELY(q >= size_)) left_ = true;
      return false;
    }
    q = Target(q, b);
    if (VTM_UNLIKELY(q >= size_)) {
      left_ = true;
      return false;
    }
    b = bytes_[q];
    if (!IsLabel(b)) return false;
    *p = q;
    *label = b;
    return true;
  }

  const uint8_t* bytes_;
  uint32_t size_;
  // The decoded state tables (VtmFsmRec::state_locations): near_ by reference byte.
  const uint32_t* near_;
  const uint32_t* far_;
  uint32_t far_count_;
  uint8_t far_base_;
  uint8_t abs_base_;
  uint8_t label_base_;
  bool extended_;
  // The Network is a walk's own local: no sharing.
  mutable bool left_ = false;
  mutable uint64_t work_ = 0;
};

}  // namespace vtm
