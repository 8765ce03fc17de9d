// Split, determinize, minimize, read back (see inverse_layout.h).
#include "inverse_layout.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

namespace vtm::compiler {
namespace {

// Step labels of the split automaton: the kind above the code (or operand) byte; 0 is
// an empty step (a pair with both sides epsilon).
constexpr uint32_t kRead = 1u << 8;   // second-side code read from the input
constexpr uint32_t kWrite = 2u << 8;  // first-side code written
constexpr uint32_t kFlag = 3u << 8;   // flag operand
constexpr uint32_t kKindMask = 3u << 8;

struct Arc {
  uint32_t label, target;
  bool operator<(const Arc& o) const {
    return label != o.label ? label < o.label : target < o.target;
  }
};

struct Automaton {
  uint32_t start = 0;
  std::vector<std::vector<Arc>> arcs;
  std::vector<uint8_t> final;
  uint32_t Add() {
    arcs.emplace_back();
    final.push_back(0);
    return static_cast<uint32_t>(arcs.size() - 1);
  }
};

// Every pair x:y as a read of y then a write of x (through a fresh state when both are
// codes).
Automaton Split(const CodeNet& net) {
  Automaton a;
  a.start = net.start;
  for (const CodeState& s : net.states) a.final.push_back(s.final);
  a.arcs.resize(net.states.size());
  auto pair = [&](uint32_t q, uint8_t x, uint8_t y, uint32_t t) {
    if (x == 0) {
      a.arcs[q].push_back({y == 0 ? 0 : kRead | y, t});
    } else if (y == 0) {
      a.arcs[q].push_back({kWrite | x, t});
    } else {
      uint32_t m = a.Add();
      a.arcs[q].push_back({kRead | y, m});
      a.arcs[m].push_back({kWrite | x, t});
    }
  };
  for (uint32_t q = 0; q < net.states.size(); ++q) {
    const CodeState& s = net.states[q];
    for (const CodeAlt& alt : s.eps) pair(q, 0, alt.code, alt.target);
    for (const CodeOperand& op : s.operands) a.arcs[q].push_back({kFlag | op.operand, op.target});
    for (const CodeSymbol& sym : s.symbols) {
      if (sym.identity != kNoState) pair(q, sym.code, sym.code, sym.identity);
      for (const CodeAlt& alt : sym.others) pair(q, sym.code, alt.code, alt.target);
    }
  }
  return a;
}

struct VectorHash {
  std::size_t operator()(const std::vector<uint32_t>& v) const {
    uint64_t h = 1469598103934665603ull;
    for (uint32_t x : v) h = (h ^ x) * 1099511628211ull;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

// Subset construction; empty steps are closed over.
Automaton Determinize(const Automaton& n) {
  Automaton d;
  std::unordered_map<std::vector<uint32_t>, uint32_t, VectorHash> ids;
  std::vector<std::vector<uint32_t>> sets;
  std::vector<uint32_t> mark(n.arcs.size(), UINT32_MAX);
  uint32_t stamp = 0;
  auto closure = [&](std::vector<uint32_t> set) {
    ++stamp;
    for (uint32_t q : set) mark[q] = stamp;
    for (std::size_t i = 0; i < set.size(); ++i)
      for (const Arc& arc : n.arcs[set[i]])
        if (arc.label == 0 && mark[arc.target] != stamp) {
          mark[arc.target] = stamp;
          set.push_back(arc.target);
        }
    std::sort(set.begin(), set.end());
    return set;
  };
  auto id_of = [&](std::vector<uint32_t> set) {
    auto [it, fresh] = ids.try_emplace(std::move(set), static_cast<uint32_t>(sets.size()));
    if (fresh) {
      sets.push_back(it->first);
      uint32_t q = d.Add();
      for (uint32_t m : it->first) d.final[q] |= n.final[m];
    }
    return it->second;
  };
  d.start = id_of(closure({n.start}));
  std::vector<Arc> out;
  for (uint32_t q = 0; q < sets.size(); ++q) {
    out.clear();
    for (uint32_t m : sets[q])
      for (const Arc& arc : n.arcs[m])
        if (arc.label != 0) out.push_back(arc);
    std::sort(out.begin(), out.end());
    for (std::size_t i = 0; i < out.size();) {
      std::size_t j = i;
      std::vector<uint32_t> targets;
      for (; j < out.size() && out[j].label == out[i].label; ++j)
        if (targets.empty() || targets.back() != out[j].target) targets.push_back(out[j].target);
      uint32_t t = id_of(closure(std::move(targets)));
      d.arcs[q].push_back({out[i].label, t});  // d.arcs may have grown: index again
      i = j;
    }
  }
  return d;
}

// The minimal automaton's class of each state of an acyclic deterministic automaton, by
// one pass over the states after their targets (equal finality and equal arcs to equal
// classes make one class); false when the automaton has a cycle.
bool AcyclicClasses(const Automaton& d, std::vector<uint32_t>* cls, uint32_t* count) {
  const uint32_t n = static_cast<uint32_t>(d.arcs.size());
  constexpr uint32_t kOpen = UINT32_MAX - 1, kNone = UINT32_MAX;
  cls->assign(n, kNone);
  std::unordered_map<std::vector<uint32_t>, uint32_t, VectorHash> ids;
  std::vector<std::pair<uint32_t, uint32_t>> stack;  // state, next arc
  std::vector<uint32_t> signature;
  for (uint32_t root = 0; root < n; ++root) {
    if ((*cls)[root] != kNone) continue;
    (*cls)[root] = kOpen;
    stack.push_back({root, 0});
    while (!stack.empty()) {
      auto& [q, i] = stack.back();
      if (i < d.arcs[q].size()) {
        const uint32_t t = d.arcs[q][i++].target;
        if ((*cls)[t] == kOpen) return false;
        if ((*cls)[t] == kNone) {
          (*cls)[t] = kOpen;
          stack.push_back({t, 0});
        }
        continue;
      }
      signature.assign(1, d.final[q]);
      for (const Arc& arc : d.arcs[q]) {
        signature.push_back(arc.label);
        signature.push_back((*cls)[arc.target]);
      }
      (*cls)[q] = ids.try_emplace(signature, static_cast<uint32_t>(ids.size())).first->second;
      stack.pop_back();
    }
  }
  *count = static_cast<uint32_t>(ids.size());
  return true;
}

// Partition refinement (Moore): states are split by finality, then by the classes their
// labelled arcs lead to, until no class splits.
uint32_t RefinedClasses(const Automaton& d, std::vector<uint32_t>* classes) {
  const uint32_t n = static_cast<uint32_t>(d.arcs.size());
  std::vector<uint32_t>& cls = *classes;
  std::vector<uint32_t> next(n);
  cls.resize(n);
  for (uint32_t q = 0; q < n; ++q) cls[q] = d.final[q];
  uint32_t count = 0;
  std::vector<uint32_t> signature;
  for (;;) {
    std::unordered_map<std::vector<uint32_t>, uint32_t, VectorHash> ids;
    for (uint32_t q = 0; q < n; ++q) {
      signature.assign(1, cls[q]);
      for (const Arc& arc : d.arcs[q]) {
        signature.push_back(arc.label);
        signature.push_back(cls[arc.target]);
      }
      next[q] = ids.try_emplace(signature, static_cast<uint32_t>(ids.size())).first->second;
    }
    const uint32_t fresh = static_cast<uint32_t>(ids.size());
    cls.swap(next);
    if (fresh == count) break;  // a refinement that splits nothing is stable
    count = fresh;
  }
  return count;
}

Automaton Minimize(const Automaton& d) {
  const uint32_t n = static_cast<uint32_t>(d.arcs.size());
  std::vector<uint32_t> cls;
  uint32_t count = 0;
  if (!AcyclicClasses(d, &cls, &count)) count = RefinedClasses(d, &cls);
  Automaton m;
  for (uint32_t c = 0; c < count; ++c) m.Add();
  std::vector<uint8_t> done(count, 0);
  for (uint32_t q = 0; q < n; ++q) {
    if (done[cls[q]]) continue;
    done[cls[q]] = 1;
    m.final[cls[q]] = d.final[q];
    for (const Arc& arc : d.arcs[q]) m.arcs[cls[q]].push_back({arc.label, cls[arc.target]});
  }
  m.start = cls[d.start];
  return m;
}

// Outputs delayed until the input decides them: the subset construction over items
// (state, output not yet written). A step on an input code leads to the items it
// reaches (closed over the steps that read nothing), writes their longest common
// output prefix and keeps the rest pending; at a final item the pending rest is written
// on a path to a final state. The walk then branches on outputs only where
// the relation is ambiguous or a word ends. Returns false (and the split automaton is
// used instead) for flag diacritics, whose order among the steps must stay, and when
// pending outputs grow past a bound (a cyclic transducer may delay without end).
bool DelayedOutputs(const CodeNet& net, std::size_t max_states, Automaton* out) {
  constexpr std::size_t kMaxPending = 64;
  struct Step {
    uint8_t x, y;  // written, read (0: none)
    uint32_t target;
  };
  std::vector<std::vector<Step>> steps(net.states.size());
  for (uint32_t q = 0; q < net.states.size(); ++q) {
    const CodeState& s = net.states[q];
    if (!s.operands.empty()) return false;
    for (const CodeAlt& alt : s.eps) steps[q].push_back({0, alt.code, alt.target});
    for (const CodeSymbol& sym : s.symbols) {
      if (sym.identity != kNoState) steps[q].push_back({sym.code, sym.code, sym.identity});
      for (const CodeAlt& alt : sym.others) steps[q].push_back({sym.code, alt.code, alt.target});
    }
  }
  using Item = std::pair<uint32_t, std::string>;  // state, pending output codes
  using Items = std::vector<Item>;
  bool overflow = false;
  auto closure = [&](Items items) {
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    for (std::size_t i = 0; i < items.size() && !overflow; ++i) {
      for (const Step& st : steps[items[i].first]) {
        if (st.y != 0) continue;
        Item next{st.target, st.x ? items[i].second + char(st.x) : items[i].second};
        if (next.second.size() > kMaxPending) overflow = true;
        if (std::find(items.begin(), items.end(), next) == items.end()) items.push_back(next);
      }
    }
    std::sort(items.begin(), items.end());
    return items;
  };
  // Removes and returns the output prefix common to every item.
  auto common = [](Items* items) {
    std::string prefix = items->empty() ? std::string() : items->front().second;
    for (const Item& it : *items) {
      std::size_t k = 0;
      while (k < prefix.size() && k < it.second.size() && prefix[k] == it.second[k]) ++k;
      prefix.resize(k);
    }
    for (Item& it : *items) it.second.erase(0, prefix.size());
    return prefix;
  };
  Automaton& a = *out;
  a = Automaton();
  std::unordered_map<std::string, uint32_t> ids;
  std::vector<Items> sets;          // the subsets met, in order
  std::vector<uint32_t> set_state;  // each one's state
  auto id_of = [&](Items items) {
    std::string key;
    for (const Item& it : items) {
      key.append(reinterpret_cast<const char*>(&it.first), sizeof it.first);
      key += it.second;
      key += '\0';  // codes are never 0
    }
    auto [pos, fresh] = ids.try_emplace(std::move(key), 0);
    if (fresh) {
      pos->second = a.Add();
      sets.push_back(std::move(items));
      set_state.push_back(pos->second);
    }
    return pos->second;
  };
  // A chain of writes from `from` to `to` (a read of `read` first when it is not 0).
  auto chain = [&](uint32_t from, uint8_t read, const std::string& writes, uint32_t to) {
    std::vector<uint32_t> labels;
    if (read) labels.push_back(kRead | read);
    for (char c : writes) labels.push_back(kWrite | static_cast<uint8_t>(c));
    for (std::size_t k = 0; k < labels.size(); ++k) {
      uint32_t t = k + 1 == labels.size() ? to : a.Add();
      a.arcs[from].push_back({labels[k], t});
      from = t;
    }
  };
  Items first = closure({{net.start, std::string()}});
  std::string prefix = common(&first);
  const uint32_t s0 = id_of(std::move(first));
  a.start = s0;
  if (!prefix.empty()) {  // written before anything is read
    a.start = a.Add();
    chain(a.start, 0, prefix, s0);
  }
  for (std::size_t k = 0; k < sets.size(); ++k) {
    if (overflow || a.arcs.size() > max_states) return false;
    const uint32_t s = set_state[k];
    std::vector<std::string> endings;
    std::vector<std::pair<uint8_t, Item>> moves;
    for (const Item& it : sets[k]) {
      if (net.states[it.first].final) {
        if (it.second.empty())
          a.final[s] = 1;
        else
          endings.push_back(it.second);
      }
      for (const Step& st : steps[it.first])
        if (st.y != 0)
          moves.push_back({st.y, {st.target, st.x ? it.second + char(st.x) : it.second}});
    }
    std::sort(moves.begin(), moves.end());
    for (std::size_t i = 0; i < moves.size();) {
      std::size_t j = i;
      Items next;
      for (; j < moves.size() && moves[j].first == moves[i].first; ++j)
        next.push_back(moves[j].second);
      Items closed = closure(std::move(next));
      std::string writes = common(&closed);
      const uint32_t t = id_of(std::move(closed));
      chain(s, moves[i].first, writes, t);
      i = j;
    }
    // The pending outputs of the final items, as a tree of writes (one arc per code)
    // whose every ending is final.
    std::sort(endings.begin(), endings.end());  // children in ascending code order
    std::map<std::pair<uint32_t, uint8_t>, uint32_t> tree;
    for (const std::string& w : endings) {
      uint32_t node = s;
      for (char c : w) {
        const auto code = static_cast<uint8_t>(c);
        auto it = tree.find({node, code});
        if (it == tree.end()) {
          const uint32_t t = a.Add();
          a.arcs[node].push_back({kWrite | code, t});
          it = tree.emplace(std::make_pair(node, code), t).first;
        }
        node = it->second;
      }
      a.final[node] = 1;
    }
    std::sort(a.arcs[s].begin(), a.arcs[s].end());
  }
  return !overflow;
}

}  // namespace

CodeNet InverseLayout(const CodeNet& net, InverseLayoutReport* report) {
  const Automaton split = Split(net);
  Automaton dfa;
  if (!DelayedOutputs(net, 8 * split.arcs.size() + 65536, &dfa)) dfa = Determinize(split);
  const Automaton min = Minimize(dfa);
  if (report) *report = {split.arcs.size(), dfa.arcs.size(), min.arcs.size()};
  CodeNet out;
  out.inverse_layout = true;
  out.start = min.start;
  out.states.resize(min.arcs.size());
  for (uint32_t q = 0; q < min.arcs.size(); ++q) {
    CodeState& s = out.states[q];
    s.final = min.final[q];
    // Arcs are sorted by label: reads, writes and operands each by ascending code.
    for (const Arc& arc : min.arcs[q]) {
      const auto code = static_cast<uint8_t>(arc.label);
      switch (arc.label & kKindMask) {
        case kRead:
          s.eps.push_back({code, arc.target});
          break;
        case kWrite:
          s.symbols.push_back({code, kNoState, {{0, arc.target}}});
          break;
        default:
          s.operands.push_back({code, arc.target});
          break;
      }
    }
  }
  return out;
}

}  // namespace vtm::compiler
