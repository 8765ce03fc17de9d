// Network layout in two passes over the same traversal: the first counts how often
// each place (state, table, non-identity group) is referenced; near and far slots are
// then given to the most referenced places, and the second pass writes the bytes.
#include "network_encoder.h"

#include <algorithm>
#include <deque>
#include <numeric>
#include <unordered_map>

namespace vtm::compiler {
namespace {

enum class RefClass : uint8_t { kNone, kNear, kFar, kAbs };

class Emitter {
 public:
  Emitter(const std::vector<const CodeNet*>& nets, const CodeAssignment& codes,
          const EncoderOptions& options)
      : nets_(nets), c_(codes), options_(options) {
    for (const CodeNet* net : nets) {
      offsets_.push_back(state_blobs_);
      state_blobs_ += static_cast<uint32_t>(net->states.size());
    }
    Grow(state_blobs_);
  }

  // Runs one pass. In the first pass reference bytes are placeholders.
  void Run(bool final_pass) {
    final_pass_ = final_pass;
    out_.clear();
    std::fill(location_.begin(), location_.end(), -1);
    std::fill(queued_.begin(), queued_.end(), 0);
    patches_.clear();
    starts_.clear();
    references_ = 0;
    tables_ = 0;
    if (!final_pass) std::fill(weight_.begin(), weight_.end(), 0);
    for (std::size_t k = 0; k < nets_.size(); ++k) {
      k_ = k;
      const CodeNet& net = *nets_[k];
      starts_.push_back(static_cast<uint32_t>(out_.size()));
      out_.push_back(c_.eps | (net.states[net.start].final ? kFinalBit : 0));
      Target(net.start, true);
      Drain();
    }
  }

  // True when blob b belongs to a net laid out for the inverse walk.
  bool InverseBlob(uint32_t b) const {
    std::size_t k =
        b < state_blobs_
            ? static_cast<std::size_t>(std::upper_bound(offsets_.begin(), offsets_.end(), b) -
                                       offsets_.begin() - 1)
            : kind_[b].subnet;
    return nets_[k]->inverse_layout;
  }

  std::vector<uint8_t> out_;
  std::vector<int64_t> location_;
  std::vector<uint64_t> weight_;  // references outside tables, from the first pass
  std::vector<RefClass> class_;
  std::vector<uint32_t> index_;                            // slot in the near or far table
  std::vector<std::pair<std::size_t, uint32_t>> patches_;  // absolute references
  std::vector<uint32_t> starts_;
  std::size_t tables_ = 0, references_ = 0, placeholder_bytes_ = 0;
  uint8_t far_base_ = 0, abs_base_ = 0;

 private:
  const CodeState& State(uint32_t s) const { return nets_[k_]->states[s]; }
  bool Final(uint32_t s) const { return s != kNoState && State(s).final; }
  bool UsesTable(const CodeState& st) const {
    return !nets_[k_]->inverse_layout &&
           static_cast<int>(st.symbols.size()) >= options_.table_min_symbols;
  }
  // Second-side codes of the first-side epsilon, in a net laid out for the inverse walk.
  std::size_t InputCodes(const CodeState& st) const {
    if (!nets_[k_]->inverse_layout) return 0;
    return static_cast<std::size_t>(
        std::count_if(st.eps.begin(), st.eps.end(), [](const CodeAlt& a) { return a.code != 0; }));
  }
  bool UsesInputTable(const CodeState& st) const {
    return static_cast<int>(InputCodes(st)) >= options_.table_min_inputs;
  }
  uint32_t StateBlob(uint32_t s) const { return offsets_[k_] + s; }

  void Grow(std::size_t n) {
    if (location_.size() >= n) return;
    location_.resize(n, -1);
    queued_.resize(n, 0);
    weight_.resize(n, 0);
    class_.resize(n, RefClass::kNone);
    index_.resize(n, 0);
    kind_.resize(n, {0, 0, 0, 0});
  }

  // Blob ids of tables and non-identity groups, allocated in traversal order (the same
  // in both passes).
  uint32_t ExtraBlob(uint8_t kind, uint32_t s, uint32_t item) {
    uint64_t key = uint64_t(k_) << 56 | uint64_t(kind) << 48 | uint64_t(s) << 20 | item;
    auto [it, fresh] = extra_.try_emplace(key, static_cast<uint32_t>(location_.size()));
    if (fresh) {
      Grow(location_.size() + 1);
      kind_[it->second] = {kind, static_cast<uint32_t>(k_), s, item};
    }
    return it->second;
  }

  void Drain() {
    while (true) {
      while (pending_ != kNoState) {
        uint32_t s = pending_;
        pending_ = kNoState;
        EmitList(s);
      }
      if (queue_.empty()) break;
      uint32_t b = queue_.front();
      queue_.pop_front();
      if (location_[b] >= 0) continue;
      if (b < state_blobs_) {
        k_ = static_cast<std::size_t>(std::upper_bound(offsets_.begin(), offsets_.end(), b) -
                                      offsets_.begin() - 1);
        EmitList(b - offsets_[k_]);
      } else {
        const Kind& kind = kind_[b];
        k_ = kind.subnet;
        if (kind.kind == 1)
          EmitTable(kind.state, b);
        else if (kind.kind == 3)
          EmitInputTable(kind.state, b);
        else
          EmitNidBlob(kind.state, kind.item, b);
      }
    }
  }

  void Ref(uint32_t b, bool in_table) {
    ++references_;
    if (location_[b] < 0 && !queued_[b]) {
      queued_[b] = 1;
      queue_.push_back(b);
    }
    if (!final_pass_) {
      if (!in_table) ++weight_[b];
      out_.push_back(1);
      out_.push_back(0);
      return;
    }
    switch (class_[b]) {
      case RefClass::kNear:
        out_.push_back(static_cast<uint8_t>(1 + index_[b]));
        break;
      case RefClass::kFar:
        out_.push_back(static_cast<uint8_t>(far_base_ + (index_[b] >> 8)));
        out_.push_back(static_cast<uint8_t>(index_[b] & 0xFF));
        break;
      default:
        patches_.push_back({out_.size(), b});
        out_.insert(out_.end(), 3, 0);
        break;
    }
  }

  // The target of a label: 0 for a state without arcs, inline on the spine (the last
  // arc of every enclosing list) when not yet placed, else a reference.
  void Target(uint32_t t, bool spine) {
    const CodeState& st = State(t);
    if (st.arcless()) {
      out_.push_back(0);
      return;
    }
    uint32_t b = StateBlob(t);
    if (spine && location_[b] < 0) {
      pending_ = t;  // the spine target is the last thing written for this blob
      return;
    }
    Ref(b, false);
  }

  void EmitAlts(const std::vector<CodeAlt>& alts, bool spine) {
    for (std::size_t j = 0; j < alts.size(); ++j) {
      bool more = j + 1 < alts.size();
      uint8_t code = alts[j].code ? alts[j].code : c_.eps;
      out_.push_back(code | (Final(alts[j].target) ? kFinalBit : 0) | (more ? kMoreBit : 0));
      Target(alts[j].target, spine && !more);
    }
  }

  void EmitNid(const CodeSymbol& sym, bool spine) {
    bool tail = sym.identity != kNoState && !State(sym.identity).arcless();
    out_.push_back(c_.nid | (tail ? kMoreBit : 0));
    EmitAlts(sym.others, spine && !tail);
    if (tail) Target(sym.identity, spine);
  }

  void EmitList(uint32_t s) {
    location_[StateBlob(s)] = static_cast<int64_t>(out_.size());
    const CodeState& st = State(s);
    bool table = UsesTable(st);
    std::size_t items =
        (st.eps.empty() ? 0 : 1) + (st.operands.empty() ? 0 : 1) + (table ? 1 : st.symbols.size());
    std::size_t i = 0;
    auto more_after = [&] { return ++i < items; };
    if (!st.eps.empty()) {
      bool more = more_after();
      out_.push_back(c_.eps | (more ? kMoreBit : 0));
      if (UsesInputTable(st)) {
        // Epsilon alternatives (code 0, sorted first), then the table of the codes.
        for (const CodeAlt& alt : st.eps) {
          if (alt.code != 0) break;
          out_.push_back(c_.eps | (Final(alt.target) ? kFinalBit : 0) | kMoreBit);
          Target(alt.target, false);
        }
        out_.push_back(c_.table);
        Ref(ExtraBlob(3, s, 0), false);
      } else {
        EmitAlts(st.eps, !more);
      }
    }
    if (!st.operands.empty()) {
      bool more = more_after();
      out_.push_back(c_.instr | (more ? kMoreBit : 0));
      for (std::size_t j = 0; j < st.operands.size(); ++j) {
        bool more_j = j + 1 < st.operands.size();
        const CodeOperand& op = st.operands[j];
        out_.push_back(static_cast<uint8_t>(c_.label_base + op.operand) |
                       (Final(op.target) ? kFinalBit : 0) | (more_j ? kMoreBit : 0));
        Target(op.target, !more && !more_j);
      }
    }
    if (table) {
      more_after();
      out_.push_back(c_.table);
      Ref(ExtraBlob(1, s, 0), false);
      return;
    }
    for (const CodeSymbol& sym : st.symbols) {
      bool more = more_after();
      out_.push_back(sym.code | (Final(sym.identity) ? kFinalBit : 0) | (more ? kMoreBit : 0));
      if (sym.others.empty())
        Target(sym.identity, !more);
      else
        EmitNid(sym, !more);
    }
  }

  // A direct-index table: the largest offset covered, then one 4-byte entry per code
  // from the state's lowest code (the walk takes the first entry's code as the table's
  // base): label and target reference, or a filler.
  void EmitTable(uint32_t s, uint32_t b) {
    ++tables_;
    const CodeState& st = State(s);
    const uint8_t s0 = st.symbols.front().code;
    const uint8_t top = st.symbols.back().code;
    out_.push_back(static_cast<uint8_t>(top - s0));
    location_[b] = static_cast<int64_t>(out_.size());
    std::size_t idx = 0;
    for (int code = s0; code <= top; code += 4) {
      std::size_t slot = out_.size();
      if (idx < st.symbols.size() && st.symbols[idx].code == code) {
        const CodeSymbol& sym = st.symbols[idx];
        bool last = code == top;
        out_.push_back(sym.code | (Final(sym.identity) ? kFinalBit : 0) | (last ? 0 : kMoreBit));
        if (!sym.others.empty())
          Ref(ExtraBlob(2, s, static_cast<uint32_t>(idx)), true);
        else if (State(sym.identity).arcless())
          out_.push_back(0);
        else
          Ref(StateBlob(sym.identity), true);
        ++idx;
      } else {
        out_.push_back(c_.table | kMoreBit);
      }
      out_.resize(slot + 4, 0);
    }
  }

  // The direct-index table of the second-side codes after a state's first-side
  // epsilon (inverse layout), laid out as EmitTable's: it is read as a direct-index
  // table by the inverse walk, which seeks its input there, and as a generic table by
  // the lookup walk, which writes every entry.
  void EmitInputTable(uint32_t s, uint32_t b) {
    ++tables_;
    const CodeState& st = State(s);
    const auto first =
        std::find_if(st.eps.begin(), st.eps.end(), [](const CodeAlt& a) { return a.code != 0; });
    const uint8_t s0 = first->code;
    const uint8_t top = st.eps.back().code;
    out_.push_back(static_cast<uint8_t>(top - s0));
    location_[b] = static_cast<int64_t>(out_.size());
    auto alt = first;
    for (int code = s0; code <= top; code += 4) {
      std::size_t slot = out_.size();
      if (alt != st.eps.end() && alt->code == code) {
        bool last = code == top;
        out_.push_back(alt->code | (Final(alt->target) ? kFinalBit : 0) | (last ? 0 : kMoreBit));
        if (State(alt->target).arcless())
          out_.push_back(0);
        else
          Ref(StateBlob(alt->target), true);
        ++alt;
      } else {
        out_.push_back(c_.table | kMoreBit);
      }
      out_.resize(slot + 4, 0);
    }
  }

  void EmitNidBlob(uint32_t s, uint32_t item, uint32_t b) {
    location_[b] = static_cast<int64_t>(out_.size());
    EmitNid(State(s).symbols[item], true);
  }

  struct Kind {
    uint8_t kind;  // 1 table, 2 non-identity group, 3 table of second-side codes
    uint32_t subnet, state, item;
  };

  const std::vector<const CodeNet*>& nets_;
  const CodeAssignment& c_;
  EncoderOptions options_;
  std::vector<uint32_t> offsets_;
  uint32_t state_blobs_ = 0;
  std::size_t k_ = 0;
  bool final_pass_ = false;
  uint32_t pending_ = kNoState;
  std::vector<uint8_t> queued_;
  std::deque<uint32_t> queue_;
  std::vector<Kind> kind_;
  std::unordered_map<uint64_t, uint32_t> extra_;
};

}  // namespace

bool EncodeNetwork(const std::vector<const CodeNet*>& nets, const CodeAssignment& codes,
                   const EncoderOptions& options, EncodedNetwork* out, std::string* error) {
  Emitter e(nets, codes, options);
  e.Run(false);
  const int lb = codes.label_base;

  // Blobs by descending weight; those of nets laid out for the inverse walk after the
  // others, so that a generation layout takes no short reference from the functions
  // that the lookup walks read.
  std::vector<uint32_t> order;
  std::vector<uint8_t> inverse(e.weight_.size(), 0);
  for (uint32_t b = 0; b < e.weight_.size(); ++b) {
    if (e.weight_[b] > 0) order.push_back(b);
    inverse[b] = e.InverseBlob(b);
  }
  std::stable_sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
    return inverse[x] != inverse[y] ? inverse[x] < inverse[y] : e.weight_[x] > e.weight_[y];
  });
  std::vector<uint64_t> prefix(order.size() + 1, 0);
  for (std::size_t i = 0; i < order.size(); ++i) prefix[i + 1] = prefix[i] + e.weight_[order[i]];
  const uint64_t placeholder = 2 * prefix.back();
  const uint64_t base_bytes = e.out_.size() - placeholder;

  // Choose how the reference bytes 1 .. label_base-1 split into near, far and absolute.
  auto estimate = [&](int nn, int vf) {
    std::size_t near = std::min<std::size_t>(nn, order.size());
    std::size_t far = std::min<std::size_t>(
        std::size_t(vf) * 256,
        std::min(order.size() - near,
                 options.max_state_table_entries -
                     std::min<std::size_t>(options.max_state_table_entries, near)));
    uint64_t w_near = prefix[near], w_far = prefix[near + far] - prefix[near];
    uint64_t w_abs = prefix.back() - prefix[near + far];
    return base_bytes + w_near + 2 * w_far + 3 * w_abs;
  };
  int best_nn = -1, best_vf = 0, best_va = 0;
  uint64_t best = UINT64_MAX;
  for (int va = 1; va < lb; ++va) {
    for (int vf = 0; va + vf < lb; ++vf) {
      int nn = lb - 1 - va - vf;
      uint64_t size = estimate(nn, vf);
      // A network of `size` bytes needs addresses up to size / 65536.
      if ((size >> 16) >= uint64_t(va)) continue;
      if (size < best) best = size, best_nn = nn, best_vf = vf, best_va = va;
    }
    if (best_nn >= 0) break;  // more absolute values only take room from near and far
  }
  if (best_nn < 0) {
    *error = "the network is too large to be addressed with label base " + std::to_string(lb);
    return false;
  }
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::fill(e.class_.begin(), e.class_.end(), RefClass::kAbs);
    std::size_t near = std::min<std::size_t>(best_nn, order.size());
    std::size_t far = std::min<std::size_t>(
        std::size_t(best_vf) * 256,
        std::min(order.size() - near, options.max_state_table_entries -
                                          std::min(options.max_state_table_entries, near)));
    for (std::size_t i = 0; i < near + far; ++i) {
      uint32_t b = order[i];
      e.class_[b] = i < near ? RefClass::kNear : RefClass::kFar;
      e.index_[b] = static_cast<uint32_t>(i < near ? i : i - near);
    }
    e.far_base_ = static_cast<uint8_t>(1 + best_nn);
    e.abs_base_ = static_cast<uint8_t>(1 + best_nn + best_vf);
    e.Run(true);
    if ((e.out_.size() >> 16) < std::size_t(best_va)) {
      out->bytes = std::move(e.out_);
      for (auto [pos, b] : e.patches_) {
        uint32_t loc = static_cast<uint32_t>(e.location_[b]);
        out->bytes[pos] = static_cast<uint8_t>(e.abs_base_ + (loc >> 16));
        out->bytes[pos + 1] = static_cast<uint8_t>(loc >> 8);
        out->bytes[pos + 2] = static_cast<uint8_t>(loc);
      }
      out->near_states.assign(near, 0);
      out->far_states.assign(far, 0);
      for (std::size_t i = 0; i < near + far; ++i) {
        uint32_t loc = static_cast<uint32_t>(e.location_[order[i]]);
        if (i < near)
          out->near_states[i] = loc;
        else
          out->far_states[i - near] = loc;
      }
      out->starts = e.starts_;
      out->near_ref_base = 1;
      out->far_ref_base = e.far_base_;
      out->abs_ref_base = e.abs_base_;
      out->tables = e.tables_;
      out->references = e.references_;
      out->arcs = 0;
      out->states = 0;
      for (const CodeNet* net : nets) {
        out->arcs += net->arc_count();
        out->states += net->states.size();
      }
      return true;
    }
    // The estimate was short: give one more byte value to absolute addresses.
    if (best_nn > 0)
      --best_nn;
    else if (best_vf > 0)
      --best_vf;
    else
      break;
    ++best_va;
  }
  *error = "the network is too large to be addressed with label base " + std::to_string(lb);
  return false;
}

}  // namespace vtm::compiler
