// Symbol pairs to code pairs, prefix sharing and branching.
#include "code_net.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>

namespace vtm::compiler {
namespace {

constexpr uint8_t kFlagSide = 1;  // first-side marker of an operand pair

// Codes written for symbol `s` on one side of an arc that leaves a state with the
// given tag-run flag.
void SideCodes(uint32_t s, bool run, bool second_side, bool auto_tagsep,
               const CodeAssignment& codes, std::vector<uint8_t>* out) {
  out->clear();
  if (s == sym::kEps) return;
  if (auto_tagsep) {
    bool opens = sym::IsTag(s) && !run;
    bool closes = run && (sym::IsChar(s) ||
                          (second_side && (s == sym::kEos || s == sym::kTb || s == sym::kEof)));
    if (opens || closes) out->push_back(codes.tagsep);
  }
  codes.Append(s, out);
}

struct Edge {
  uint32_t node;
  uint16_t key;  // first << 8 | second
  uint32_t target;
  bool operator<(const Edge& o) const {
    return std::tie(node, key, target) < std::tie(o.node, o.key, o.target);
  }
  bool operator==(const Edge& o) const {
    return node == o.node && key == o.key && target == o.target;
  }
};

}  // namespace

std::size_t CodeNet::arc_count() const {
  std::size_t n = 0;
  for (const CodeState& s : states) {
    n += s.eps.size() + s.operands.size();
    for (const CodeSymbol& c : s.symbols) n += (c.identity != kNoState) + c.others.size();
  }
  return n;
}

CodeNet BuildCodeNet(const SymGraph& g, const CodeAssignment& codes) {
  CodeNet net;
  net.start = g.start;
  net.states.resize(g.state_count());
  for (uint32_t q = 0; q < g.state_count(); ++q) net.states[q].final = g.final[q];

  std::vector<Edge> edges;
  edges.reserve(g.arcs.size() * 2);
  std::unordered_map<uint64_t, uint32_t> trie;  // (node << 16 | key) -> intermediate node
  std::vector<uint8_t> side1, side2;
  // Class transducers (escapes after their base): a path that ends in a final state
  // without arcs ends in a final trie node instead, so that tags sharing a base code
  // form one chain (base, esc, esc ...) with a final label per tag, as the class walk
  // reads them, rather than branches joined by epsilon alternatives.
  std::vector<uint32_t> out_degree;
  if (codes.escapes_after) {
    out_degree.assign(g.state_count(), 0);
    for (const SymArc& arc : g.arcs) ++out_degree[arc.src];
  }
  for (const SymArc& arc : g.arcs) {
    std::vector<uint16_t> keys;
    if (sym::IsFlag(arc.a)) {
      keys.push_back(static_cast<uint16_t>(kFlagSide << 8 | (arc.a - sym::kFlagBase)));
    } else {
      SideCodes(arc.a, g.run1[arc.src], false, g.auto_tagsep, codes, &side1);
      SideCodes(arc.b, g.run2[arc.src], true, g.auto_tagsep, codes, &side2);
      std::size_t n = std::max<std::size_t>({side1.size(), side2.size(), 1});
      for (std::size_t i = 0; i < n; ++i) {
        uint8_t x = i < side1.size() ? side1[i] : 0;
        uint8_t y = i < side2.size() ? side2[i] : 0;
        keys.push_back(static_cast<uint16_t>(x << 8 | y));
      }
    }
    uint32_t node = arc.src;
    const bool leaf =
        codes.escapes_after && !sym::IsFlag(arc.a) && g.final[arc.dst] && out_degree[arc.dst] == 0;
    for (std::size_t i = 0; i + 1 < keys.size() + (leaf ? 1 : 0); ++i) {
      uint64_t tkey = uint64_t(node) << 16 | keys[i];
      auto it = trie.find(tkey);
      if (it == trie.end()) {
        uint32_t fresh = static_cast<uint32_t>(net.states.size());
        net.states.emplace_back();
        it = trie.emplace(tkey, fresh).first;
        edges.push_back({node, keys[i], fresh});
      }
      node = it->second;
    }
    if (leaf) {
      net.states[node].final = true;
      continue;
    }
    edges.push_back({node, keys.back(), arc.dst});
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

  // A target for a group of edges with one key: the single target, or a fresh state
  // that branches to all of them by epsilon alternatives.
  auto join = [&](std::size_t begin, std::size_t end) -> uint32_t {
    if (end - begin == 1) return edges[begin].target;
    uint32_t fresh = static_cast<uint32_t>(net.states.size());
    net.states.emplace_back();
    for (std::size_t i = begin; i < end; ++i) net.states[fresh].eps.push_back({0, edges[i].target});
    return fresh;
  };
  for (std::size_t i = 0; i < edges.size();) {
    std::size_t j = i;
    while (j < edges.size() && edges[j].node == edges[i].node && edges[j].key == edges[i].key) ++j;
    uint32_t node = edges[i].node;
    uint8_t x = edges[i].key >> 8, y = edges[i].key & 0xFF;
    // Epsilon alternatives need no joining: every one of them is taken.
    if (x == 0 && y == 0) {
      for (std::size_t k = i; k < j; ++k) net.states[node].eps.push_back({0, edges[k].target});
    } else if (x == 0) {
      uint32_t t = join(i, j);
      net.states[node].eps.push_back({y, t});
    } else if (x == kFlagSide) {
      for (std::size_t k = i; k < j; ++k) net.states[node].operands.push_back({y, edges[k].target});
    } else {
      uint32_t t = y != 0 ? join(i, j) : kNoState;  // join may grow net.states
      auto& symbols = net.states[node].symbols;
      if (symbols.empty() || symbols.back().code != x) symbols.push_back({x, kNoState, {}});
      CodeSymbol& s = symbols.back();
      if (y == x) {
        s.identity = t;
      } else if (y == 0) {
        for (std::size_t k = i; k < j; ++k) s.others.push_back({0, edges[k].target});
      } else {
        s.others.push_back({y, t});
      }
    }
    i = j;
  }
  // Edges were sorted by key, so epsilon alternatives (second code 0) already come first
  // and codes ascend; first-side epsilon keys (x == 0) precede all symbols.
  return net;
}

}  // namespace vtm::compiler
