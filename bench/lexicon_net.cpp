// Lexicon transducers for the lookup benchmarks (see lexicon_net.h).
#include "lexicon_net.h"

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <tuple>

#include "compiler/att_reader.h"
#include "compiler/file_writer.h"
#include "compiler/transducer_builder.h"

namespace vtm::bench {
namespace {

// Codes: labels from 32; specials below 64; letters from 84.
constexpr uint8_t kLabelBase = 32;
constexpr uint8_t kEps = 32;
constexpr uint8_t kNid = 36;
constexpr uint8_t kInstr = 40;
constexpr uint8_t kFirstChar = 64;
constexpr uint8_t kTable = 64;
constexpr uint8_t kEsc = 68;
constexpr uint8_t kEos = 76;
constexpr uint8_t kTb = 80;
constexpr uint8_t kAbsBase = 3;
constexpr std::size_t kTableArcs = 6;

uint8_t Code(char c) {
  return static_cast<uint8_t>(84 + 4 * (c - 'a'));
}

struct State {
  bool word_end = false;
  std::map<uint8_t, uint32_t> arcs;  // code -> state
};

class Builder {
 public:
  explicit Builder(const std::vector<std::string>& words) {
    states_.push_back({});
    for (const std::string& w : words) {
      uint32_t s = 0;
      for (char c : w) {
        auto it = states_[s].arcs.find(Code(c));
        if (it == states_[s].arcs.end()) {
          states_.push_back({});
          it = states_[s].arcs.emplace(Code(c), static_cast<uint32_t>(states_.size() - 1)).first;
        }
        s = it->second;
      }
      states_[s].word_end = true;
    }
    canon_.assign(states_.size(), 0);
    root_ = Minimize(0);
  }

  std::vector<uint8_t> Encode() {
    net_ = {kLabelBase};  // entry label of the start state, not final
    location_.assign(unique_.size(), 0);
    placed_.assign(unique_.size(), false);
    const std::size_t root_list = net_.size();
    EncodeList(root_);
    (void)root_list;
    // Patch absolute references now that every list has its location.
    for (const auto& [at, id] : patches_) {
      const uint32_t loc = location_[id];
      net_[at] = static_cast<uint8_t>(kAbsBase + (loc >> 16));
      net_[at + 1] = static_cast<uint8_t>(loc >> 8);
      net_[at + 2] = static_cast<uint8_t>(loc);
    }
    return net_;
  }

 private:
  struct Unique {
    bool word_end;
    std::vector<std::pair<uint8_t, uint32_t>> arcs;  // code -> unique id
    bool operator<(const Unique& o) const {
      return std::tie(word_end, arcs) < std::tie(o.word_end, o.arcs);
    }
  };

  uint32_t Minimize(uint32_t s) {
    Unique u{states_[s].word_end, {}};
    for (const auto& [code, t] : states_[s].arcs) u.arcs.emplace_back(code, Minimize(t));
    auto it = ids_.find(u);
    if (it != ids_.end()) return it->second;
    const auto id = static_cast<uint32_t>(unique_.size());
    unique_.push_back(u);
    ids_.emplace(u, id);
    return id;
  }

  bool HasArcs(uint32_t id) const { return unique_[id].word_end || !unique_[id].arcs.empty(); }

  // The arc list of state `id` at the end of the network; its targets after it.
  void EncodeList(uint32_t id) {
    placed_[id] = true;
    location_[id] = static_cast<uint32_t>(net_.size());
    const Unique& u = unique_[id];
    std::vector<uint32_t> later;
    if (u.arcs.size() + (u.word_end ? 1 : 0) > kTableArcs) {
      // Direct-index table: entries from EOS (or the first letter) to the last letter.
      net_.push_back(kTable);
      const std::size_t ref = net_.size();
      net_.insert(net_.end(), {0, 0, 0});
      const uint32_t table = static_cast<uint32_t>(net_.size());
      net_[ref] = static_cast<uint8_t>(kAbsBase + (table >> 16));
      net_[ref + 1] = static_cast<uint8_t>(table >> 8);
      net_[ref + 2] = static_cast<uint8_t>(table);
      const uint8_t first = u.word_end ? kEos : u.arcs.front().first;
      const uint8_t last = u.arcs.empty() ? kEos : u.arcs.back().first;
      for (uint32_t code = first; code <= last; code += 4) {
        if (code == kEos && u.word_end) {
          net_.insert(net_.end(), {kEos, kNid, kEps | 1, 0});
          continue;
        }
        auto it = std::find_if(u.arcs.begin(), u.arcs.end(),
                               [&](const auto& a) { return a.first == code; });
        if (it == u.arcs.end()) {
          net_.insert(net_.end(), {0, 0, 0, 0});
          continue;
        }
        net_.push_back(static_cast<uint8_t>(code));
        Target(it->second, &later);
      }
    } else {
      const std::size_t n = u.arcs.size() + (u.word_end ? 1 : 0);
      std::size_t k = 0;
      if (u.word_end) {
        net_.insert(net_.end(),
                    {static_cast<uint8_t>(kEos | (++k < n ? 2 : 0)), kNid, kEps | 1, 0});
      }
      for (const auto& [code, t] : u.arcs) {
        net_.push_back(static_cast<uint8_t>(code | (++k < n ? 2 : 0)));
        Target(t, &later);
      }
    }
    for (uint32_t t : later) {
      if (!placed_[t]) EncodeList(t);
    }
  }

  void Target(uint32_t t, std::vector<uint32_t>* later) {
    if (!HasArcs(t)) {
      net_.push_back(0);
      return;
    }
    patches_.emplace_back(net_.size(), t);
    net_.insert(net_.end(), {0, 0, 0});
    later->push_back(t);
  }

  std::vector<State> states_;
  std::vector<uint32_t> canon_;
  std::vector<Unique> unique_;
  std::map<Unique, uint32_t> ids_;
  uint32_t root_ = 0;
  std::vector<uint8_t> net_;
  std::vector<uint32_t> location_;
  std::vector<bool> placed_;
  std::vector<std::pair<std::size_t, uint32_t>> patches_;
};

}  // namespace

std::vector<std::string> LexiconWords(std::size_t count) {
  static const char* const kSyllables[] = {
      "ab",   "ac",  "ad",   "al",   "an",   "ar", "as", "at",  "ba", "be", "bi", "bo",  "ca",
      "ce",   "ci",  "co",   "con",  "de",   "di", "do", "ed",  "el", "en", "er", "es",  "ex",
      "fa",   "fe",  "fi",   "fo",   "ga",   "ge", "go", "ha",  "he", "hi", "ho", "il",  "im",
      "in",   "ing", "is",   "it",   "la",   "le", "li", "lo",  "ly", "ma", "me", "mi",  "mo",
      "na",   "ne",  "ni",   "no",   "of",   "on", "or", "ous", "pa", "pe", "pi", "po",  "pro",
      "ra",   "re",  "ri",   "ro",   "sa",   "se", "si", "so",  "st", "ta", "te", "ter", "ti",
      "tion", "to",  "tr",   "un",   "ur",   "va", "ve", "vi",  "wa", "we", "wi", "xa",  "yo",
      "za",   "zu",  "ment", "ness", "able", "qu"};
  constexpr std::size_t n = sizeof kSyllables / sizeof kSyllables[0];
  std::mt19937 rng(20261209);
  std::set<std::string> seen;
  std::vector<std::string> words;
  while (words.size() < count) {
    std::string w;
    const int syllables = 2 + static_cast<int>(rng() % 5);
    for (int k = 0; k < syllables; ++k) w += kSyllables[rng() % n];
    if (seen.insert(w).second) words.push_back(w);
  }
  return words;
}

std::size_t WriteLexicon(const std::vector<std::string>& words, const std::string& path) {
  Builder builder(words);
  compiler::TransducerSpec spec;
  auto& h = spec.header;
  h.near_ref_base = 1;
  h.far_ref_base = 2;
  h.abs_ref_base = kAbsBase;
  h.label_base = kLabelBase;
  h.esc_label = kEsc;
  h.table_label = kTable;
  h.nid_label = kNid;
  h.esc_radix = 56;
  h.state_ref_width = 3;
  spec.copyright = "Benchmark lexicon";
  spec.version = "1.0";
  spec.symbol_chars.assign(56, '?');
  spec.char_map.first = 'a';
  spec.char_map.last = 'z';
  for (char c = 'a'; c <= 'z'; ++c) {
    spec.symbol_chars[(Code(c) - kLabelBase) / 4] = static_cast<uint16_t>(c);
    spec.char_map.entries.push_back(Code(c));
  }
  spec.named_tables.push_back(
      {vtm::kDiacriticsTable,
       {},
       {{vtm::kEosKey, vtm::CodeValue(kEos, 0)}, {vtm::kTbKey, vtm::CodeValue(kTb, 0)}}});
  spec.functions.assign(27, kNoSubnet);
  spec.functions[12 - 1] = 0;
  spec.functions[27 - 1] = 0;
  spec.subnets.push_back({0, kFirstChar, kInstr, 0, {}});
  spec.network = builder.Encode();
  std::string error;
  if (!compiler::WriteTransducerFile(path, spec, &error)) return 0;
  return spec.network.size();
}

}  // namespace vtm::bench

namespace vtm::bench {

std::string LexiconAtt(const std::vector<std::string>& words) {
  std::vector<std::map<char, uint32_t>> trie(1);
  std::vector<bool> ends(1, false);
  for (const std::string& w : words) {
    uint32_t s = 0;
    for (char c : w) {
      auto it = trie[s].find(c);
      if (it == trie[s].end()) {
        trie.emplace_back();
        ends.push_back(false);
        it = trie[s].emplace(c, static_cast<uint32_t>(trie.size() - 1)).first;
      }
      s = it->second;
    }
    ends[s] = true;
  }
  const auto final_state = static_cast<uint32_t>(trie.size());
  std::string att;
  for (uint32_t s = 0; s < trie.size(); ++s) {
    for (const auto& [c, t] : trie[s]) {
      att += std::to_string(s) + "\t" + std::to_string(t) + "\t" + c + "\t" + c + "\n";
    }
    if (ends[s]) att += std::to_string(s) + "\t" + std::to_string(final_state) + "\t@0@\t+N\n";
  }
  att += std::to_string(final_state) + "\n";
  return att;
}

std::size_t CompileLexicon(const std::string& att, const std::string& path) {
  auto t = std::make_shared<compiler::AttTransducer>();
  std::string error;
  if (!compiler::ReadAtt(att, 0, t.get(), &error)) return 0;
  compiler::BuildOptions options;
  options.inputs.push_back({kFunctionAnalysis, "lexicon", t});
  options.inputs.push_back({kFunctionStemming, "lexicon", t});
  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  if (!compiler::BuildTransducer(options, &spec, &report, &error)) return 0;
  if (!compiler::WriteTransducerFile(path, spec, &error)) return 0;
  return spec.network.size();
}

}  // namespace vtm::bench
