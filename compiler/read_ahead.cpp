// Insertions moved onto the next input symbol (see read_ahead.h).
#include "read_ahead.h"

#include <map>
#include <utility>
#include <vector>

namespace vtm::compiler {
namespace {

bool CharOrEps(uint32_t s) {
  return s == sym::kEps || sym::IsChar(s);
}

}  // namespace

std::size_t ReadAheadInsertions(SymGraph* g) {
  const uint32_t n = g->state_count();
  std::vector<std::vector<uint32_t>> out(n);  // arc indices by source
  for (uint32_t k = 0; k < g->arcs.size(); ++k) {
    const SymArc& arc = g->arcs[k];
    // Tags open and close runs that the states were split by; flags are tested on the
    // path. Neither may change its place relative to the input, so such graphs stay.
    if (!CharOrEps(arc.a) || !CharOrEps(arc.b)) return 0;
    out[arc.src].push_back(k);
  }
  // r can take the insertions before it: not final, and every arc reads a character.
  std::vector<uint8_t> takes(n, 0);
  for (uint32_t r = 0; r < n; ++r) {
    if (g->final[r] || out[r].empty()) continue;
    bool all_read = true;
    for (uint32_t k : out[r]) all_read = all_read && sym::IsChar(g->arcs[k].a);
    takes[r] = all_read;
  }

  std::vector<SymArc> arcs;
  arcs.reserve(g->arcs.size());
  std::map<std::pair<uint32_t, uint32_t>, uint32_t> writer;  // (y, s) -> state writing y
  auto writer_of = [&](uint32_t y, uint32_t s) {
    auto [it, fresh] = writer.try_emplace({y, s}, g->state_count());
    if (fresh) {
      g->final.push_back(0);
      g->run1.push_back(0);
      g->run2.push_back(0);
      if (!g->origin.empty()) g->origin.push_back(g->origin[s]);
    }
    return it->second;
  };
  std::vector<SymArc> writes;  // arcs of the writer states
  std::size_t moved = 0;
  for (const SymArc& e : g->arcs) {
    if (e.a != sym::kEps || !takes[e.dst]) {
      arcs.push_back(e);
      continue;
    }
    ++moved;
    for (uint32_t k : out[e.dst]) {
      const SymArc& next = g->arcs[k];
      if (next.b == sym::kEps) {
        arcs.push_back({e.src, next.dst, next.a, e.b});
        continue;
      }
      const std::size_t before = writer.size();
      const uint32_t t = writer_of(next.b, next.dst);
      if (writer.size() != before) writes.push_back({t, next.dst, sym::kEps, next.b});
      arcs.push_back({e.src, t, next.a, e.b});
    }
  }
  arcs.insert(arcs.end(), writes.begin(), writes.end());
  g->arcs = std::move(arcs);
  return moved;
}

}  // namespace vtm::compiler
