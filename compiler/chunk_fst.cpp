// Rule transducers, composition and the AT&T form of a chunk grammar (see chunk_fst.h).
#include "chunk_fst.h"

#include <algorithm>
#include <map>
#include <regex>
#include <unordered_map>

namespace vtm::compiler {
namespace {

using Threads = std::vector<int>;  // program counters at kTag or kMatch instructions

// Appends the threads reached from pc in priority order (first arrival wins). `entered`
// holds the repetitions whose current iteration began at this token position: reaching
// the end of such an iteration means it took no token, and the repetition is left.
void AddThread(const std::vector<ChunkInst>& program, int pc, Threads* out, std::vector<char>* seen,
               std::vector<int>* entered) {
  const ChunkInst& in = program[pc];
  switch (in.op) {
    case ChunkInst::kJump:
      AddThread(program, in.x, out, seen, entered);
      break;
    case ChunkInst::kSplit:
      AddThread(program, in.x, out, seen, entered);
      AddThread(program, in.y, out, seen, entered);
      break;
    case ChunkInst::kEnter:
      entered->push_back(in.test);
      AddThread(program, pc + 1, out, seen, entered);
      entered->pop_back();
      break;
    case ChunkInst::kIter: {
      const bool empty = std::find(entered->begin(), entered->end(), in.test) != entered->end();
      AddThread(program, empty ? in.y : in.x, out, seen, entered);
      break;
    }
    default:
      if ((*seen)[pc]) return;
      (*seen)[pc] = 1;
      out->push_back(pc);
  }
}

void AddThread(const std::vector<ChunkInst>& program, int pc, Threads* out,
               std::vector<char>* seen) {
  std::vector<int> entered;
  AddThread(program, pc, out, seen, &entered);
}

class RuleBuilder {
 public:
  RuleBuilder(const std::vector<ChunkStage>& stages, uint32_t stage, uint32_t rule,
              const std::vector<std::string>& tags, const ChunkSymbols& symbols)
      : stage_(stage), rule_(stages[stage].rules[rule]), symbols_(symbols) {
    for (const std::string& t : rule_.tests) tests_.emplace_back("<(" + t + ")>");
    // Tag classes: tags that pass the same tests behave alike.
    std::map<std::vector<bool>, int> classes;
    for (uint32_t i = 0; i < tags.size(); ++i) {
      const std::vector<bool> sig = Signature(tags[i]);
      auto [it, fresh] = classes.try_emplace(sig, static_cast<int>(class_sigs_.size()));
      if (fresh) class_sigs_.push_back(sig), class_tags_.emplace_back();
      class_tags_[it->second].push_back(symbols.Tag(i));
    }
    for (uint32_t s = 0; s < stage; ++s) label_sigs_.push_back(Signature(stages[s].label));
    Threads start;
    std::vector<char> seen(rule_.program.size(), 0);
    AddThread(rule_.program, 0, &start, &seen);
    start_ = start;
  }

  SymFst Build() {
    fst_.start = StateOf(false, {}, {});
    for (uint32_t q = 0; q < keys_.size(); ++q) Expand(q);
    return std::move(fst_);
  }

 private:
  struct Key {
    bool chunk;
    Threads pending;  // sorted: threads that may never match
    Threads active;   // priority order: the open chunk's threads
    bool operator<(const Key& o) const {
      return std::tie(chunk, pending, active) < std::tie(o.chunk, o.pending, o.active);
    }
  };

  std::vector<bool> Signature(const std::string& name) const {
    std::vector<bool> sig;
    const std::string subject = "<" + name + ">";
    for (const std::regex& re : tests_) sig.push_back(std::regex_match(subject, re));
    return sig;
  }

  bool IsMatch(int pc) const { return rule_.program[pc].op == ChunkInst::kMatch; }

  // Threads after one token with test results `sig`, in priority order.
  Threads Step(const Threads& threads, const std::vector<bool>& sig) const {
    Threads out;
    std::vector<char> seen(rule_.program.size(), 0);
    for (int pc : threads) {
      const ChunkInst& in = rule_.program[pc];
      if (in.op == ChunkInst::kTag && sig[in.test]) AddThread(rule_.program, pc + 1, &out, &seen);
    }
    return out;
  }
  static Threads AsSet(Threads t) {
    std::sort(t.begin(), t.end());
    t.erase(std::unique(t.begin(), t.end()), t.end());
    return t;
  }
  bool Alive(const Threads& pending) const {
    return std::none_of(pending.begin(), pending.end(), [&](int pc) { return IsMatch(pc); });
  }

  uint32_t StateOf(bool chunk, Threads pending, Threads active) {
    Key key{chunk, std::move(pending), std::move(active)};
    auto it = ids_.find(key);
    if (it != ids_.end()) return it->second;
    const uint32_t id = fst_.Add(!chunk);
    ids_.emplace(key, id);
    keys_.push_back(key);
    return id;
  }

  // State that passes a chunk of stage `s` through (content at nesting `depth`) and
  // then goes on at `target`.
  uint32_t Pass(uint32_t target, uint32_t s, uint32_t depth) {
    const auto key = std::make_tuple(target, s, depth);
    auto it = pass_ids_.find(key);
    if (it != pass_ids_.end()) return it->second;
    const uint32_t id = fst_.Add(false);
    pass_ids_.emplace(key, id);
    for (const auto& members : class_tags_)
      for (uint32_t tag : members) fst_.arcs[id].push_back({tag, tag, id});
    for (uint32_t t = 0; t < s; ++t) {
      if (depth <= s) {
        const uint32_t deeper = Pass(target, s, depth + 1);
        fst_.arcs[id].push_back({symbols_.OpenSymbol(t), symbols_.OpenSymbol(t), deeper});
      }
      if (depth > 1) {
        const uint32_t up = Pass(target, s, depth - 1);
        fst_.arcs[id].push_back({symbols_.CloseSymbol(t), symbols_.CloseSymbol(t), up});
      }
    }
    if (depth == 1) {
      fst_.arcs[id].push_back({symbols_.CloseSymbol(s), symbols_.CloseSymbol(s), target});
    }
    return id;
  }

  // Arcs for every token (tags and earlier stages' chunks) from state q, given the
  // state reached for a token with test results `sig` (or none).
  template <typename Next>
  void TokenArcs(uint32_t q, Next next) {
    for (std::size_t c = 0; c < class_sigs_.size(); ++c) {
      uint32_t to;
      if (!next(class_sigs_[c], &to)) continue;
      for (uint32_t tag : class_tags_[c]) fst_.arcs[q].push_back({tag, tag, to});
    }
    for (uint32_t s = 0; s < label_sigs_.size(); ++s) {
      uint32_t to;
      if (!next(label_sigs_[s], &to)) continue;
      const uint32_t open = symbols_.OpenSymbol(s);
      const uint32_t pass = Pass(to, s, 1);  // may add states: before taking arcs[q]
      fst_.arcs[q].push_back({open, open, pass});
    }
  }

  void Expand(uint32_t q) {
    const Key key = keys_[q];
    const uint32_t state = static_cast<uint32_t>(ids_.at(key));
    const uint32_t open = symbols_.OpenSymbol(stage_), close = symbols_.CloseSymbol(stage_);
    if (!key.chunk) {
      // A chunk starts here, or the pattern matches nothing from here.
      const uint32_t chunk = StateOf(true, key.pending, start_);
      fst_.arcs[state].push_back({0, open, chunk});
      Threads with_start = key.pending;
      with_start.insert(with_start.end(), start_.begin(), start_.end());
      TokenArcs(state, [&](const std::vector<bool>& sig, uint32_t* to) {
        Threads pending = AsSet(Step(with_start, sig));
        if (!Alive(pending)) return false;
        *to = StateOf(false, std::move(pending), {});
        return true;
      });
      // A chunk of an earlier rule of this stage: nothing matches across it.
      const uint32_t pass = Pass(StateOf(false, {}, {}), stage_, 1);
      fst_.arcs[state].push_back({open, open, pass});
      return;
    }
    // Inside a chunk: threads after a recorded match have lower priority and stop.
    Threads active;
    for (int pc : key.active) {
      if (IsMatch(pc)) {
        Threads pending = key.pending;
        pending.insert(pending.end(), active.begin(), active.end());
        const uint32_t scan = StateOf(false, AsSet(std::move(pending)), {});
        fst_.arcs[state].push_back({0, close, scan});
        break;
      }
      active.push_back(pc);
    }
    TokenArcs(state, [&](const std::vector<bool>& sig, uint32_t* to) {
      Threads next = Step(active, sig);
      Threads pending = AsSet(Step(key.pending, sig));
      if (next.empty() || !Alive(pending)) return false;
      *to = StateOf(true, std::move(pending), std::move(next));
      return true;
    });
  }

  uint32_t stage_;
  const ChunkRule& rule_;
  ChunkSymbols symbols_;
  std::vector<std::regex> tests_;
  std::vector<std::vector<bool>> class_sigs_;
  std::vector<std::vector<uint32_t>> class_tags_;
  std::vector<std::vector<bool>> label_sigs_;
  Threads start_;
  SymFst fst_;
  std::map<Key, uint32_t> ids_;
  std::vector<Key> keys_;
  std::map<std::tuple<uint32_t, uint32_t, uint32_t>, uint32_t> pass_ids_;
};

// Keeps the states that are reachable and can reach a final state.
SymFst Trim(const SymFst& f) {
  const std::size_t n = f.final.size();
  std::vector<std::vector<uint32_t>> back(n);
  for (uint32_t q = 0; q < n; ++q)
    for (const auto& a : f.arcs[q]) back[a.to].push_back(q);
  std::vector<char> useful(n, 0);
  std::vector<uint32_t> todo;
  for (uint32_t q = 0; q < n; ++q)
    if (f.final[q]) useful[q] = 1, todo.push_back(q);
  while (!todo.empty()) {
    const uint32_t q = todo.back();
    todo.pop_back();
    for (uint32_t p : back[q])
      if (!useful[p]) useful[p] = 1, todo.push_back(p);
  }
  SymFst out;
  std::vector<uint32_t> id(n, UINT32_MAX);
  if (!useful[f.start]) {
    out.start = out.Add(false);
    return out;
  }
  std::vector<uint32_t> order{f.start};
  id[f.start] = out.Add(f.final[f.start]);
  for (std::size_t k = 0; k < order.size(); ++k) {
    const uint32_t q = order[k];
    for (const auto& a : f.arcs[q]) {
      if (!useful[a.to]) continue;
      if (id[a.to] == UINT32_MAX) id[a.to] = out.Add(f.final[a.to]), order.push_back(a.to);
      out.arcs[id[q]].push_back({a.in, a.out, id[a.to]});
    }
  }
  out.start = id[f.start];
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

SymFst RuleTransducer(const std::vector<ChunkStage>& stages, uint32_t stage, uint32_t rule,
                      const std::vector<std::string>& tags, const ChunkSymbols& symbols) {
  return Trim(RuleBuilder(stages, stage, rule, tags, symbols).Build());
}

SymFst Compose(const SymFst& a, const SymFst& b) {
  // b's arcs by input symbol, per state.
  std::vector<std::unordered_multimap<uint32_t, const SymFst::Arc*>> by_input(b.arcs.size());
  for (uint32_t q = 0; q < b.arcs.size(); ++q)
    for (const auto& arc : b.arcs[q]) by_input[q].emplace(arc.in, &arc);
  SymFst out;
  std::unordered_map<uint64_t, uint32_t> ids;
  std::vector<std::pair<uint32_t, uint32_t>> pairs;
  auto state = [&](uint32_t p, uint32_t q) {
    const uint64_t key = uint64_t{p} << 32 | q;
    auto [it, fresh] = ids.try_emplace(key, 0);
    if (fresh) {
      it->second = out.Add(a.final[p] && b.final[q]);
      pairs.emplace_back(p, q);
    }
    return it->second;
  };
  out.start = state(a.start, b.start);
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    const auto [p, q] = pairs[k];
    const uint32_t from = static_cast<uint32_t>(k);
    // b inserts on its own.
    auto eps = by_input[q].equal_range(0);
    for (auto it = eps.first; it != eps.second; ++it) {
      const uint32_t to = state(p, it->second->to);
      out.arcs[from].push_back({0, it->second->out, to});
    }
    for (const auto& arc : a.arcs[p]) {
      auto range = by_input[q].equal_range(arc.out);
      for (auto it = range.first; it != range.second; ++it) {
        const uint32_t to = state(arc.to, it->second->to);
        out.arcs[from].push_back({arc.in, it->second->out, to});
      }
    }
  }
  return Trim(out);
}

bool ChunkGrammarTransducer(const std::vector<ChunkStage>& stages,
                            const std::vector<std::string>& tags, AttTransducer* out,
                            std::string* error, std::size_t max_arcs) {
  ChunkSymbols symbols{static_cast<uint32_t>(tags.size())};
  SymFst whole;
  bool first = true;
  for (uint32_t s = 0; s < stages.size(); ++s) {
    for (uint32_t r = 0; r < stages[s].rules.size(); ++r) {
      SymFst rule = RuleTransducer(stages, s, r, tags, symbols);
      whole = first ? std::move(rule) : Compose(whole, rule);
      first = false;
      if (whole.arc_count() > max_arcs) {
        *error = "line " + std::to_string(stages[s].rules[r].line) +
                 ": the grammar's transducer grows past " + std::to_string(max_arcs) + " arcs";
        return false;
      }
    }
  }
  // Symbol texts: epsilon, the tags, then each stage's brackets.
  *out = AttTransducer();
  out->symbols.push_back("@0@");
  for (const std::string& t : tags) out->symbols.push_back("[" + t + "]");
  for (const ChunkStage& stage : stages) {
    out->symbols.push_back("[(" + Lower(stage.label) + "]");
    out->symbols.push_back("[)" + Lower(stage.label) + "]");
  }
  out->start = whole.start;
  out->final = whole.final;
  for (uint32_t q = 0; q < whole.final.size(); ++q) {
    out->state_numbers.push_back(q);
    out->state_lines.push_back(0);
    for (const auto& a : whole.arcs[q]) out->arcs.push_back({q, a.to, a.in, a.out, 0});
  }
  return true;
}

}  // namespace vtm::compiler
