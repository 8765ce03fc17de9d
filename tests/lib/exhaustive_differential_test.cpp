// Exhaustive differential test of the compiler and the lookup engine: every AT&T graph of
// up to three states and up to two arcs (one state: up to three arcs) whose labels pair
// the symbols a, b, epsilon and one tag, up to renaming the non-start states and
// swapping a with b, with every choice of final states, is compiled and loaded; every
// input of up to four symbols over {a, b, [t]} is looked up (mode 2) and generated from
// (mode 8), through function 12 and through a generation function (23) laid out for the
// inverse walk, and every result set must equal the reference interpreter's.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/att_reference.h"
#include "support/compiled_att.h"
#include "vtmrt.h"

namespace vtm::test {
namespace {

// Symbols of the sweep: 0 a, 1 b, 2 epsilon, 3 the tag.
constexpr std::array<const char*, 4> kAtt = {"a", "b", "@0@", "<t>"};
constexpr std::array<const char*, 3> kText = {"a", "b", "[t]"};
constexpr int kEpsilon = 2;

struct Arc {
  int src, dst, in, out;
  auto key() const { return std::tie(src, dst, in, out); }
  bool operator<(const Arc& o) const { return key() < o.key(); }
};

struct Graph {
  int states = 1;
  std::vector<Arc> arcs;  // sorted
  int finals = 0;         // bit q: state q is final
  auto key() const { return std::tie(states, arcs, finals); }
  bool operator<(const Graph& o) const { return key() < o.key(); }
};

// The smallest graph among those equal to `g` up to renaming states 1 and 2 and
// swapping a with b.
Graph Canonical(const Graph& g) {
  Graph best;
  bool first = true;
  std::array<int, 3> perm = {0, 1, 2};
  do {
    if (std::any_of(perm.begin() + g.states, perm.end(), [&](int q) { return q < g.states; }))
      continue;
    for (bool swap : {false, true}) {
      auto sym = [swap](int s) { return swap && s < 2 ? 1 - s : s; };
      Graph c;
      c.states = g.states;
      for (const Arc& a : g.arcs)
        c.arcs.push_back({perm[a.src], perm[a.dst], sym(a.in), sym(a.out)});
      std::sort(c.arcs.begin(), c.arcs.end());
      for (int q = 0; q < g.states; ++q)
        if (g.finals >> q & 1) c.finals |= 1 << perm[q];
      if (first || c < best) best = c, first = false;
    }
  } while (std::next_permutation(perm.begin() + 1, perm.end()));
  return best;
}

// Every graph of the sweep, each once. All states are touched by an arc (a state that
// no arc touches makes the same graph as one state fewer), and a start state without
// arcs is final (otherwise the language is empty, whatever the other states do).
std::set<Graph> AllGraphs() {
  std::set<Graph> graphs;
  for (int n = 1; n <= 3; ++n) {
    std::vector<Arc> candidates;
    for (int s = 0; s < n; ++s)
      for (int d = 0; d < n; ++d)
        for (int in = 0; in < 4; ++in)
          for (int out = 0; out < 4; ++out) candidates.push_back({s, d, in, out});
    const int max_arcs = n == 1 ? 3 : 2;
    std::vector<std::vector<Arc>> arc_sets = {{}};
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      const std::size_t known = arc_sets.size();
      for (std::size_t k = 0; k < known; ++k) {
        if (static_cast<int>(arc_sets[k].size()) == max_arcs) continue;
        std::vector<Arc> grown = arc_sets[k];
        grown.push_back(candidates[i]);
        arc_sets.push_back(std::move(grown));
      }
    }
    for (const std::vector<Arc>& arcs : arc_sets) {
      int touched = 1;
      for (const Arc& a : arcs) touched |= 1 << a.src | 1 << a.dst;
      if (touched != (1 << n) - 1) continue;
      const bool start_has_arcs =
          std::any_of(arcs.begin(), arcs.end(), [](const Arc& a) { return a.src == 0; });
      for (int finals = 1; finals < (1 << n); ++finals) {
        // AT&T text names its start state on its first line: a start state without arcs
        // can only be written as a final-state line.
        if (start_has_arcs || (finals & 1)) graphs.insert(Canonical(Graph{n, arcs, finals}));
      }
    }
  }
  return graphs;
}

std::string AttText(const Graph& g) {
  std::string text;
  for (const Arc& a : g.arcs) {
    text += std::to_string(a.src) + "\t" + std::to_string(a.dst) + "\t" + kAtt[a.in] + "\t" +
            kAtt[a.out] + "\n";
  }
  // The start state is the first field of the first line: arcs are sorted, so state 0
  // leads whenever it has an arc; otherwise a final-state line for it comes first.
  std::string finals;
  for (int q = 0; q < g.states; ++q)
    if (g.finals >> q & 1) finals += std::to_string(q) + "\n";
  const bool zero_leads = !g.arcs.empty() && g.arcs.front().src == 0;
  return zero_leads ? text + finals : "0\n" + text + finals;
}

// Transitive closure of the arcs that `take` accepts.
template <typename Take>
std::array<std::array<bool, 3>, 3> Closure(const Graph& g, Take take) {
  std::array<std::array<bool, 3>, 3> reach{};
  for (const Arc& a : g.arcs)
    if (take(a)) reach[a.src][a.dst] = true;
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) reach[i][j] = reach[i][j] || (reach[i][k] && reach[k][j]);
  return reach;
}

// True when arcs with epsilon on one side (the first, or the second with `second`) form
// a cycle through a state that lies on a path from the start to a final state: a walk
// matching that side could go round it for ever.
bool SilentCycle(const Graph& g, bool second) {
  const auto any = Closure(g, [](const Arc&) { return true; });
  const auto silent =
      Closure(g, [second](const Arc& a) { return (second ? a.out : a.in) == kEpsilon; });
  for (int q = 0; q < g.states; ++q) {
    const bool reached = q == 0 || any[0][q];
    bool ends = g.finals >> q & 1;
    for (int f = 0; f < g.states; ++f) ends = ends || ((g.finals >> f & 1) && any[q][f]);
    if (reached && ends && silent[q][q]) return true;
  }
  return false;
}

std::vector<std::string> AllInputs() {
  std::vector<std::string> inputs = {""};
  for (std::size_t from = 0, length = 1; length <= 4; ++length) {
    const std::size_t to = inputs.size();
    for (std::size_t i = from; i < to; ++i)
      for (const char* s : kText) inputs.push_back(inputs[i] + s);
    from = to;
  }
  return inputs;
}

TEST(ExhaustiveDifferential, EverySmallGraphEveryShortInputBothDirections) {
  const std::set<Graph> graphs = AllGraphs();
  const std::vector<std::string> inputs = AllInputs();
  // 1 + 3 + 9 + 27 + 81 inputs; 371 + 2,844 + 9,148 graphs of one, two and three states
  // (counted apart, by a separate enumeration).
  ASSERT_EQ(inputs.size(), 121u);
  ASSERT_EQ(graphs.size(), 12363u);

  // VTM_SWEEP_STRIDE=N compares every Nth graph only: the sanitizer builds set it (their
  // test preset), where the whole sweep costs minutes and a sample finds the same memory
  // faults; the release build compares every graph.
  const char* stride_text = std::getenv("VTM_SWEEP_STRIDE");
  const std::size_t stride = stride_text ? std::max(1L, std::atol(stride_text)) : 1;
  std::size_t compared = 0, refused = 0, round = 0, index = 0;
  for (const Graph& g : graphs) {
    if (index++ % stride != 0) continue;
    const std::string att = AttText(g);
    AttReference ref;
    std::string error;
    ASSERT_TRUE(ref.Parse(att, 0, &error)) << error << "\n" << att;
    // Appended piece by piece: g++ 12 for i686 misreads "literal" + std::string&& as an
    // overlapping copy (-Wrestrict).
    std::string name = "exhaustive_";
    name += std::to_string(round++ % 64);
    name += ".vtm";
    if (SilentCycle(g, false) || SilentCycle(g, true)) {
      // A walk over a cycle that consumes nothing would not end: the compiler refuses
      // the transducer (function 12 serves both walks).
      std::string refusal;
      ASSERT_EQ(CompileAtt(att, name, {}, &refusal), nullptr) << att;
      ASSERT_NE(refusal.find("cycle"), std::string::npos) << refusal;
      ++refused;
      continue;
    }
    FsmPtr fsm = CompileAtt(att, name);
    ASSERT_NE(fsm, nullptr) << att;
    CompileAttOptions laid_out;
    laid_out.generation = true;
    laid_out.label_base = 64;
    FsmPtr generator = CompileAtt(att, "generator_" + name, laid_out);
    ASSERT_NE(generator, nullptr) << att;
    for (int direction : {0, 1, 2}) {  // lookup; generation through 12; through 23
      const bool generation = direction > 0;
      VtmFsm on = direction == 2 ? generator.get() : fsm.get();
      for (const std::string& text : inputs) {
        const std::set<std::string> expected = generation ? ref.Inverse(text) : ref.Lookup(text);
        ASSERT_FALSE(ref.last_incomplete()) << text << "\n" << att;
        int rc = 0;
        const std::set<std::string> got =
            LookupSet(on, text, generation ? VTM_MODE_GENERATE : VTM_MODE_ANALYZE, &rc);
        ASSERT_GE(rc, 0) << (direction == 2 ? "generation (23) of '"
                             : generation   ? "generation of '"
                                            : "lookup of '")
                         << text << "'\n"
                         << att;
        ASSERT_EQ(got, expected) << (direction == 2 ? "generation (23) of '"
                                     : generation   ? "generation of '"
                                                    : "lookup of '")
                                 << text << "'\n"
                                 << att;
        ASSERT_EQ(static_cast<std::size_t>(rc), got.size()) << "duplicate results\n" << att;
        ++compared;
      }
    }
  }
  // 1,164 graphs have a silent cycle; the other 11,199 are compared in three ways on
  // every input: 4,065,237 cases.
  const std::size_t sampled = (graphs.size() + stride - 1) / stride;
  EXPECT_EQ(compared, 3 * (sampled - refused) * inputs.size());
  if (stride == 1) {
    EXPECT_EQ(refused, 1164u);
    EXPECT_EQ(compared, 4065237u);
  }
  RecordProperty("cases", static_cast<int>(compared));
}

}  // namespace
}  // namespace vtm::test
