// Resolution of AT&T symbols into the shared alphabet, trimming, tag-run splitting and
// the check for cycles that consume no input.
#include "sym_graph.h"

#include <algorithm>
#include <unordered_map>

namespace vtm::compiler {
namespace {

std::string LineText(uint32_t line) {
  return "line " + std::to_string(line) + ": ";
}

// Operand id of a flag symbol, registering its feature and value.
bool FlagId(const Symbol& s, uint32_t line, Alphabet* alphabet, uint32_t* id, std::string* error) {
  auto& features = alphabet->features;
  auto it = std::find(features.begin(), features.end(), s.name);
  if (it == features.end()) {
    if (features.size() == kMaxFeatures) {
      *error = LineText(line) + "flag feature '" + s.name + "' is one more than the " +
               std::to_string(kMaxFeatures) + " features a transducer file can hold";
      return false;
    }
    features.push_back(s.name);
    alphabet->values.emplace_back();
    it = features.end() - 1;
  }
  uint32_t f = static_cast<uint32_t>(it - features.begin());
  uint32_t v = 0;
  if (s.flag_op == 'U') {
    auto& values = alphabet->values[f];
    auto vit = std::find(values.begin(), values.end(), s.value);
    if (vit == values.end()) {
      if (values.size() == kMaxValues) {
        *error = LineText(line) + "flag feature '" + s.name + "' gets a value '" + s.value +
                 "' beyond the " + std::to_string(kMaxValues) +
                 " values a feature can hold in a transducer file";
        return false;
      }
      values.push_back(s.value);
      vit = values.end() - 1;
    }
    v = static_cast<uint32_t>(vit - values.begin()) + 1;
  }
  *id = sym::kFlagBase + OperandOffset(f, v);
  return true;
}

bool SymbolId(const Symbol& s, uint32_t line, Alphabet* alphabet, uint32_t* id,
              std::string* error) {
  switch (s.kind) {
    case SymbolKind::kEpsilon:
      *id = sym::kEps;
      return true;
    case SymbolKind::kChar:
      *id = sym::kCharBase + s.byte;
      return true;
    case SymbolKind::kEos:
      alphabet->uses_eos = true;
      *id = sym::kEos;
      return true;
    case SymbolKind::kTb:
      alphabet->uses_tb = true;
      *id = sym::kTb;
      return true;
    case SymbolKind::kEof:
      alphabet->uses_eof = true;
      *id = sym::kEof;
      return true;
    case SymbolKind::kTagSep:
      alphabet->uses_tagsep = true;
      *id = sym::kTagSep;
      return true;
    case SymbolKind::kTag: {
      auto it = alphabet->tag_ids.find(s.name);
      if (it == alphabet->tag_ids.end()) {
        if (alphabet->tags.size() == kMaxTags) {
          *error = LineText(line) + "tag '" + s.name + "' is one more than the " +
                   std::to_string(kMaxTags) + " tags a transducer file can hold";
          return false;
        }
        it = alphabet->tag_ids.emplace(s.name, static_cast<uint32_t>(alphabet->tags.size())).first;
        alphabet->tags.push_back(s.name);
      }
      *id = sym::kTagBase + it->second;
      return true;
    }
    case SymbolKind::kFlag:
      return FlagId(s, line, alphabet, id, error);
  }
  return false;
}

}  // namespace

bool ResolveAtt(const AttTransducer& att, const ResolveOptions& options, Alphabet* alphabet,
                SymGraph* out, std::size_t* dropped, std::string* error) {
  const std::size_t n_symbols = att.symbols.size();
  std::vector<Symbol> symbols(n_symbols);
  std::vector<SymbolStatus> status(n_symbols);
  std::vector<std::string> messages(n_symbols);
  for (std::size_t i = 0; i < n_symbols; ++i)
    status[i] = ClassifySymbol(att.symbols[i], &symbols[i], &messages[i]);

  std::vector<SymArc> arcs;
  arcs.reserve(att.arcs.size());
  for (const AttArc& arc : att.arcs) {
    bool drop = false;
    for (uint32_t s : {arc.in, arc.out}) {
      if (status[s] == SymbolStatus::kOk) continue;
      if (status[s] == SymbolStatus::kUnmappable && options.drop_unmappable) {
        drop = true;
        continue;
      }
      *error = LineText(arc.line) + messages[s];
      return false;
    }
    if (drop) {
      ++*dropped;
      continue;
    }
    const Symbol& in = symbols[arc.in];
    const Symbol& outs = symbols[arc.out];
    bool flag_in = in.kind == SymbolKind::kFlag, flag_out = outs.kind == SymbolKind::kFlag;
    if ((flag_in || flag_out) && arc.in != arc.out) {
      *error = LineText(arc.line) + "a flag diacritic must stand on both sides of its arc ('" +
               att.symbols[arc.in] + "' : '" + att.symbols[arc.out] + "')";
      return false;
    }
    uint32_t a, b;
    if (!SymbolId(in, arc.line, alphabet, &a, error)) return false;
    if (!SymbolId(outs, arc.line, alphabet, &b, error)) return false;
    if (options.project) b = a;
    arcs.push_back({arc.src, arc.dst, a, b});
  }

  // Trim: keep states reachable from the start that reach a final state.
  const uint32_t n = att.state_count();
  std::vector<std::vector<uint32_t>> fwd(n), bwd(n);
  for (uint32_t i = 0; i < arcs.size(); ++i) {
    fwd[arcs[i].src].push_back(arcs[i].dst);
    bwd[arcs[i].dst].push_back(arcs[i].src);
  }
  std::vector<uint8_t> reach(n, 0), coreach(n, 0);
  std::vector<uint32_t> stack{att.start};
  reach[att.start] = 1;
  while (!stack.empty()) {
    uint32_t q = stack.back();
    stack.pop_back();
    for (uint32_t r : fwd[q])
      if (!reach[r]) reach[r] = 1, stack.push_back(r);
  }
  for (uint32_t q = 0; q < n; ++q)
    if (att.final[q] && reach[q]) coreach[q] = 1, stack.push_back(q);
  while (!stack.empty()) {
    uint32_t q = stack.back();
    stack.pop_back();
    for (uint32_t r : bwd[q])
      if (reach[r] && !coreach[r]) coreach[r] = 1, stack.push_back(r);
  }
  std::vector<uint32_t> id(n, UINT32_MAX);
  *out = SymGraph();
  auto keep = [&](uint32_t q) {
    if (id[q] == UINT32_MAX) {
      id[q] = out->state_count();
      out->final.push_back(att.final[q]);
      out->origin.push_back(q);
    }
    return id[q];
  };
  out->start = keep(att.start);
  for (const SymArc& arc : arcs) {
    if (!coreach[arc.src] || !coreach[arc.dst]) continue;
    out->arcs.push_back({keep(arc.src), keep(arc.dst), arc.a, arc.b});
  }
  out->run1.assign(out->state_count(), 0);
  out->run2.assign(out->state_count(), 0);
  return true;
}

namespace {

bool NextRun(bool run, uint32_t s, bool second_side) {
  if (sym::IsTag(s)) return true;
  if (sym::IsChar(s)) return false;
  if (second_side && (s == sym::kEos || s == sym::kTb || s == sym::kEof)) return false;
  return run;
}

// Finds a cycle among the arcs that `silent` selects; returns a state on it or -1.
int64_t SilentCycle(const SymGraph& g, bool second_side) {
  const uint32_t n = g.state_count();
  std::vector<std::vector<uint32_t>> next(n);
  for (const SymArc& arc : g.arcs) {
    uint32_t s = second_side ? arc.b : arc.a;
    if (s == sym::kEps || sym::IsFlag(s)) next[arc.src].push_back(arc.dst);
  }
  // Iterative three-colour depth-first search.
  std::vector<uint8_t> colour(n, 0);
  std::vector<std::pair<uint32_t, uint32_t>> stack;
  for (uint32_t root = 0; root < n; ++root) {
    if (colour[root]) continue;
    stack.push_back({root, 0});
    colour[root] = 1;
    while (!stack.empty()) {
      auto& [q, i] = stack.back();
      if (i < next[q].size()) {
        uint32_t r = next[q][i++];
        if (colour[r] == 1) return r;
        if (colour[r] == 0) {
          colour[r] = 1;
          stack.push_back({r, 0});
        }
      } else {
        colour[q] = 2;
        stack.pop_back();
      }
    }
  }
  return -1;
}

}  // namespace

bool PrepareGraph(const AttTransducer& att, bool inverse_used, SymGraph* graph,
                  std::string* error) {
  SymGraph& g = *graph;
  bool has_tags = false;
  for (const SymArc& arc : g.arcs) {
    if (arc.a == sym::kTagSep || arc.b == sym::kTagSep) g.auto_tagsep = false;
    has_tags = has_tags || sym::IsTag(arc.a) || sym::IsTag(arc.b);
  }
  if (g.auto_tagsep && has_tags) {
    // Split every state by the pair of run flags it can be reached with.
    std::vector<std::vector<uint32_t>> out_arcs(g.state_count());
    for (uint32_t i = 0; i < g.arcs.size(); ++i) out_arcs[g.arcs[i].src].push_back(i);
    SymGraph split;
    split.auto_tagsep = true;
    std::unordered_map<uint64_t, uint32_t> ids;
    std::vector<uint64_t> todo;
    auto get = [&](uint32_t q, bool r1, bool r2) {
      uint64_t key = uint64_t(q) << 2 | (r1 ? 2 : 0) | (r2 ? 1 : 0);
      auto [it, fresh] = ids.try_emplace(key, split.state_count());
      if (fresh) {
        split.final.push_back(g.final[q]);
        split.origin.push_back(g.origin[q]);
        split.run1.push_back(r1);
        split.run2.push_back(r2);
        todo.push_back(key);
      }
      return it->second;
    };
    split.start = get(g.start, false, false);
    while (!todo.empty()) {
      uint64_t key = todo.back();
      todo.pop_back();
      uint32_t q = static_cast<uint32_t>(key >> 2);
      bool r1 = key & 2, r2 = key & 1;
      uint32_t from = ids[key];
      for (uint32_t i : out_arcs[q]) {
        const SymArc& arc = g.arcs[i];
        uint32_t to = get(arc.dst, NextRun(r1, arc.a, false), NextRun(r2, arc.b, true));
        split.arcs.push_back({from, to, arc.a, arc.b});
      }
    }
    g = std::move(split);
  }
  for (int side = 0; side < (inverse_used ? 2 : 1); ++side) {
    int64_t q = SilentCycle(g, side == 1);
    if (q < 0) continue;
    uint32_t origin = g.origin[static_cast<std::size_t>(q)];
    *error = "line " + std::to_string(att.state_lines[origin]) + ": state " +
             std::to_string(att.state_numbers[origin]) + " lies on a cycle of arcs whose " +
             (side == 0 ? "input" : "output") + " side is empty (epsilon or flags); " +
             (side == 0 ? "lookup" : "inverse lookup") + " would not terminate";
    return false;
  }
  return true;
}

}  // namespace vtm::compiler
