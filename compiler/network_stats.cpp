// Network walk for statistics.
#include "network_stats.h"

#include <unordered_set>
#include <vector>

#include "fst/fsm.h"

namespace vtm::compiler {
namespace {

constexpr uint64_t kStepBudget = 200'000'000;  // bytes read in skips, in total

enum ListKind : uint8_t { kStateList, kAltList, kOperandList };

class Walker {
 public:
  Walker(const VtmFsmRec& fsm, int subnet) : f_(fsm), h_(fsm.header), sub_(fsm.subnets[subnet]) {}

  NetworkStats Run() {
    int64_t start = Resolve(sub_.start_state);
    if (start >= 0) Push(Next(static_cast<uint32_t>(start)), kStateList);
    while (!work_.empty() && stats_.complete) {
      auto [loc, kind] = work_.back();
      work_.pop_back();
      List(loc, kind);
    }
    return stats_;
  }

 private:
  bool Fail(const std::string& why) {
    if (stats_.complete) stats_.complete = false, stats_.problem = why;
    return false;
  }
  bool Byte(uint64_t q, uint8_t* b) {
    if (q >= h_.network_size) return Fail("a read beyond the network's end");
    *b = f_.network[q];
    return true;
  }
  uint32_t RefLength(uint8_t b, uint64_t q) {
    if (b < h_.far_ref_base) return 1;
    if (b < h_.abs_ref_base) return 2;
    if (!(h_.net_flags & kNetExtended)) return 3;
    uint8_t x = 0;
    if (Byte(q + 3, &x) && x) return 4;
    if (Byte(q + 4, &x) && x) return 6;
    return 8;
  }
  // Location of the label at q, following one reference; -1 for a dead end or failure.
  int64_t Resolve(uint64_t q) {
    uint8_t b;
    if (!Byte(q, &b) || b == 0) return -1;
    if (b >= h_.label_base) return static_cast<int64_t>(q);
    const int w = h_.state_ref_width;
    uint64_t index;
    const uint8_t* table;
    uint32_t count;
    if (b < h_.near_ref_base) return Fail("a byte below the near reference base"), -1;
    if (b < h_.far_ref_base) {
      index = b - h_.near_ref_base, table = f_.near_states, count = f_.near_count;
    } else if (b < h_.abs_ref_base) {
      uint8_t lo;
      if (!Byte(q + 1, &lo)) return -1;
      index = uint64_t(b - h_.far_ref_base) * 256 + lo, table = f_.far_states, count = f_.far_count;
    } else {
      uint8_t m, l;
      if (!Byte(q + 1, &m) || !Byte(q + 2, &l)) return -1;
      return static_cast<int64_t>(uint64_t(b - h_.abs_ref_base) << 16 | m << 8 | l);
    }
    if (index >= count) return Fail("a state reference beyond its table"), -1;
    const uint8_t* e = table + index * w;
    return w == 3 ? Be24(e) : Be16(e);
  }
  int64_t Next(uint64_t q) { return Resolve(q + 1); }
  // Location of the alternative after the subtree of the label at p.
  int64_t After(uint64_t p) {
    uint64_t pending = 1, q = p + 1;
    while (pending > 0) {
      uint8_t b;
      if (++steps_ > kStepBudget) return Fail("the walk took too long"), -1;
      if (!Byte(q, &b)) return -1;
      if (b < h_.label_base) {
        --pending;
        q += b == 0 ? 1 : RefLength(b, q);
      } else {
        ++q;
        if (b & 2) ++pending;
      }
    }
    return Resolve(q);
  }
  void Push(int64_t loc, ListKind kind) {
    if (loc < 0) return;
    uint64_t key = uint64_t(loc) << 2 | kind;
    if (!seen_.insert(key).second) return;
    if (kind == kStateList) ++stats_.states;
    work_.push_back({static_cast<uint32_t>(loc), kind});
  }
  void SymbolTarget(uint64_t q) {
    int64_t t = Next(q);
    uint8_t b;
    if (t < 0 || !Byte(t, &b)) return;
    if ((b & 0xFC) == h_.nid_label && h_.nid_label != 0) {
      Push(Next(t), kAltList);
      if (b & 2) Push(After(t), kStateList);
    } else {
      Push(t, kStateList);
    }
  }
  void List(uint64_t q, ListKind kind) {
    for (std::size_t guard = 0; guard < 1 << 20; ++guard) {
      uint8_t l;
      if (!Byte(q, &l)) return;
      uint8_t code = l & 0xFC;
      if (kind != kStateList) {
        ++stats_.arcs;
        Push(Next(q), kStateList);
      } else if (code < sub_.first_char_label) {
        Push(Next(q), code == sub_.instr_label ? kOperandList : kAltList);
      } else if (code == h_.table_label) {
        Table(q);
      } else {
        ++stats_.arcs;
        SymbolTarget(q);
      }
      if (!(l & 2)) return;
      int64_t next = After(q);
      if (next < 0) return;
      q = static_cast<uint64_t>(next);
    }
    Fail("an arc list without end");
  }
  void Table(uint64_t q) {
    int64_t u = Next(q);
    uint8_t max;
    if (u < 1 || !Byte(u - 1, &max)) return;
    ++stats_.tables;
    bool bounded = f_.header.code_flags & kCodeTableMax;
    for (uint32_t off = 0; off <= (bounded ? max : 252u); off += 4) {
      uint8_t g;
      if (!Byte(u + off, &g)) return;
      if ((g & 0xFC) != h_.table_label) {
        ++stats_.arcs;
        SymbolTarget(u + off);
      }
      if (!(g & 2)) return;
    }
  }

  const VtmFsmRec& f_;
  const VtmHeaderRec& h_;
  const Subnet& sub_;
  NetworkStats stats_;
  uint64_t steps_ = 0;
  std::unordered_set<uint64_t> seen_;
  std::vector<std::pair<uint32_t, ListKind>> work_;
};

}  // namespace

NetworkStats CountNetwork(const VtmFsmRec& fsm, int subnet) {
  return Walker(fsm, subnet).Run();
}

}  // namespace vtm::compiler
