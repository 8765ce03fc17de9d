// Class lexicon and class guesser networks as AT&T text (see class_transducer.h).
#include "class_transducer.h"

#include <array>
#include <deque>

#include "cp1252.h"

namespace vtm::compiler {
namespace {

void Arc(std::string* out, uint32_t src, uint32_t dst, const std::string& symbol) {
  *out += std::to_string(src) + '\t' + std::to_string(dst) + '\t' + symbol + '\n';
}

void TagArcs(std::string* out, uint32_t src, uint32_t leaf, const std::vector<std::string>& tags) {
  for (const std::string& tag : tags) Arc(out, src, leaf, "[" + tag + "]");
}

bool IsCapitalByte(unsigned char b) {
  return (b >= 0x41 && b <= 0x5A) || (b >= 0xC0 && b <= 0xDE && b != 0xD7) || b == 0x8A ||
         b == 0x8C || b == 0x9F;
}

// Aho-Corasick automaton over one list of suffix rules: every state knows the rule of
// the longest suffix that ends the text read so far.
struct SuffixAutomaton {
  std::vector<std::array<int32_t, 256>> next;
  std::vector<int32_t> fail;
  std::vector<int32_t> rule;  // rule index ending exactly here, or -1
  std::vector<int32_t> best;  // rule of the longest matching suffix, or -1

  explicit SuffixAutomaton(const std::vector<SuffixRule>& rules) {
    Add();
    for (std::size_t r = 0; r < rules.size(); ++r) {
      int32_t q = 0;
      for (unsigned char c : rules[r].suffix) {
        if (next[q][c] < 0) {
          next[q][c] = static_cast<int32_t>(next.size());
          Add();
        }
        q = next[q][c];
      }
      rule[q] = static_cast<int32_t>(r);
    }
    // Breadth first: failure links, then the full transition function.
    std::deque<int32_t> queue;
    best[0] = rule[0];
    for (int c = 0; c < 256; ++c) {
      const int32_t s = next[0][c];
      if (s < 0) {
        next[0][c] = 0;
      } else {
        fail[s] = 0;
        queue.push_back(s);
      }
    }
    while (!queue.empty()) {
      const int32_t q = queue.front();
      queue.pop_front();
      best[q] = rule[q] >= 0 ? rule[q] : best[fail[q]];
      for (int c = 0; c < 256; ++c) {
        const int32_t s = next[q][c];
        if (s < 0) {
          next[q][c] = next[fail[q]][c];
        } else {
          fail[s] = next[fail[q]][c];
          queue.push_back(s);
        }
      }
    }
  }

  void Add() {
    std::array<int32_t, 256> row;
    row.fill(-1);
    next.push_back(row);
    fail.push_back(0);
    rule.push_back(-1);
    best.push_back(-1);
  }
};

}  // namespace

std::string AttCharSymbol(unsigned char byte) {
  if (byte == ' ') return "@_SPACE_@";
  if (byte == '\t') return "@_TAB_@";
  return Cp1252ToUtf8(std::string(1, static_cast<char>(byte)));
}

std::string ClassLexiconAtt(const ClassEntries& entries) {
  std::string out;
  // A trie of the words; every tag arc goes to one final state without arcs.
  std::vector<std::map<unsigned char, uint32_t>> trie(1);
  const uint32_t leaf = 1;
  trie.emplace_back();
  for (const auto& [word, tags] : entries) {
    if (word.empty() || tags.empty()) continue;
    uint32_t q = 0;
    for (unsigned char c : word) {
      auto it = trie[q].find(c);
      if (it == trie[q].end()) {
        const uint32_t fresh = static_cast<uint32_t>(trie.size());
        trie[q].emplace(c, fresh);
        trie.emplace_back();
        Arc(&out, q, fresh, AttCharSymbol(c));
        q = fresh;
      } else {
        q = it->second;
      }
    }
    TagArcs(&out, q, leaf, tags);
  }
  out += std::to_string(leaf) + '\n';
  return out;
}

std::string SuffixGuesserAtt(const GuesserRules& rules) {
  const SuffixAutomaton lower(rules.lower);
  const SuffixAutomaton capital(rules.capital);
  // States: 0 start, 1 the final leaf, then the lower automaton, then the capital one.
  const uint32_t leaf = 1;
  const uint32_t lower_base = 2;
  const uint32_t capital_base = lower_base + static_cast<uint32_t>(lower.next.size());
  std::string out;
  std::vector<std::string> symbols(256);
  for (unsigned char c : rules.alphabet) symbols[c] = AttCharSymbol(c);
  for (unsigned char c : rules.alphabet) {
    if (IsCapitalByte(c)) {
      Arc(&out, 0, capital_base + static_cast<uint32_t>(capital.next[0][c]), symbols[c]);
    } else {
      Arc(&out, 0, lower_base + static_cast<uint32_t>(lower.next[0][c]), symbols[c]);
    }
  }
  auto emit = [&](const SuffixAutomaton& a, uint32_t base, const std::vector<SuffixRule>& list) {
    for (uint32_t q = 0; q < a.next.size(); ++q) {
      for (unsigned char c : rules.alphabet) Arc(&out, base + q, base + a.next[q][c], symbols[c]);
      // The start state reads at least one byte before any answer.
      if (q != 0 && a.best[q] >= 0) TagArcs(&out, base + q, leaf, list[a.best[q]].symbols);
    }
  };
  emit(lower, lower_base, rules.lower);
  emit(capital, capital_base, rules.capital);
  // The automata's own start states are entered again after any byte that starts no
  // suffix, so their answer is the rule for every word.
  if (lower.best[0] >= 0) TagArcs(&out, lower_base, leaf, rules.lower[lower.best[0]].symbols);
  if (capital.best[0] >= 0) {
    TagArcs(&out, capital_base, leaf, rules.capital[capital.best[0]].symbols);
  }
  out += std::to_string(leaf) + '\n';
  return out;
}

}  // namespace vtm::compiler
