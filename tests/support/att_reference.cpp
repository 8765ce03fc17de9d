// Reference interpreter over AT&T graphs and the random transducer generator.
#include "att_reference.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include "compiler/att_reader.h"
#include "compiler/symbols.h"

namespace vtm::testing {

bool AttReference::Parse(std::string_view att, int section, std::string* error) {
  compiler::AttTransducer t;
  if (!compiler::ReadAtt(att, section, &t, error)) return false;
  std::vector<int32_t> ids(t.symbols.size(), -1);
  std::map<std::string, int> features;
  std::vector<std::map<std::string, int>> values;
  syms_.clear();
  for (std::size_t i = 0; i < t.symbols.size(); ++i) {
    compiler::Symbol s;
    if (compiler::ClassifySymbol(t.symbols[i], &s, error) != compiler::SymbolStatus::kOk)
      return false;
    Sym out{Sym::kOther, ""};
    switch (s.kind) {
      case compiler::SymbolKind::kEpsilon:
        continue;
      case compiler::SymbolKind::kChar:
        out = {Sym::kChar, std::string(1, char(s.byte))};
        break;
      case compiler::SymbolKind::kTag:
        out = {Sym::kTag, s.name};
        break;
      case compiler::SymbolKind::kFlag: {
        auto f = features.emplace(s.name, static_cast<int>(features.size())).first->second;
        if (values.size() <= std::size_t(f)) values.resize(f + 1);
        int v = 0;
        if (s.flag_op == 'U')
          v = values[f].emplace(s.value, static_cast<int>(values[f].size()) + 1).first->second;
        out = {Sym::kFlag, t.symbols[i], s.flag_op, f, v};
        break;
      }
      default:
        out = {Sym::kOther, t.symbols[i]};
        break;
    }
    // Symbols with the same meaning share one id ("<n>" and "[n]" are one tag).
    auto same = std::find_if(syms_.begin(), syms_.end(), [&](const Sym& x) {
      return x.kind == out.kind && x.text == out.text && x.op == out.op &&
             x.feature == out.feature && x.value == out.value;
    });
    ids[i] = static_cast<int32_t>(same - syms_.begin());
    if (same == syms_.end()) syms_.push_back(out);
  }
  features_ = static_cast<int>(features.size());
  if (features_ > 16) return *error = "too many flag features", false;
  arcs_.assign(t.state_count(), {});
  final_ = t.final;
  start_ = t.start;
  for (const auto& a : t.arcs) arcs_[a.src].push_back({a.dst, ids[a.in], ids[a.out]});
  return true;
}

bool AttReference::Tokenize(std::string_view text, std::vector<int32_t>* out) const {
  out->clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    Sym want{Sym::kChar, std::string(1, text[i])};
    if (text[i] == '[') {
      std::size_t end = text.find(']', i);
      if (end == std::string_view::npos) return false;
      want = {Sym::kTag, std::string(text.substr(i + 1, end - i - 1))};
      i = end;
    }
    auto it = std::find_if(syms_.begin(), syms_.end(), [&](const Sym& s) {
      return s.kind == want.kind && s.text == want.text;
    });
    if (it == syms_.end()) return false;
    out->push_back(static_cast<int32_t>(it - syms_.begin()));
  }
  return true;
}

std::string AttReference::Render(int32_t symbol) const {
  if (symbol < 0) return "";
  const Sym& s = syms_[symbol];
  if (s.kind == Sym::kTag) return "[" + s.text + "]";
  if (s.kind == Sym::kFlag) return "";
  return s.text;
}

std::set<std::string> AttReference::Run(std::string_view text, bool inverse) const {
  incomplete_ = false;
  std::set<std::string> results;
  std::vector<int32_t> input;
  if (!Tokenize(text, &input)) return results;
  struct Config {
    uint32_t state;
    uint32_t pos;
    uint32_t flags;  // 2 bits per feature
    std::vector<int32_t> out;
  };
  std::unordered_set<std::string> seen;
  auto key = [](const Config& c) {
    std::string k(reinterpret_cast<const char*>(&c.state), 4);
    k.append(reinterpret_cast<const char*>(&c.pos), 4);
    k.append(reinterpret_cast<const char*>(&c.flags), 4);
    k.append(reinterpret_cast<const char*>(c.out.data()), c.out.size() * 4);
    return k;
  };
  std::vector<Config> stack{{start_, 0, 0, {}}};
  seen.insert(key(stack.back()));
  std::size_t steps = 0;
  while (!stack.empty()) {
    if (++steps > limits.max_steps) {
      incomplete_ = true;
      break;
    }
    Config c = std::move(stack.back());
    stack.pop_back();
    if (final_[c.state] && c.pos == input.size()) {
      std::string r;
      for (int32_t s : c.out) r += Render(s);
      results.insert(r);
    }
    for (const Arc& arc : arcs_[c.state]) {
      Config next{arc.dst, c.pos, c.flags, c.out};
      int32_t in = inverse ? arc.out : arc.in, out = inverse ? arc.in : arc.out;
      if (in >= 0 && syms_[in].kind == Sym::kFlag) {
        const Sym& f = syms_[in];
        uint32_t shift = 2 * f.feature, cur = (c.flags >> shift) & 3;
        if (f.op == 'C') {
          next.flags &= ~(3u << shift);
        } else if (cur == 0) {
          next.flags |= uint32_t(f.value) << shift;
        } else if (cur != uint32_t(f.value)) {
          continue;
        }
      } else {
        if (in >= 0) {
          if (c.pos >= input.size() || input[c.pos] != in) continue;
          ++next.pos;
        }
        if (out >= 0) {
          if (next.out.size() >= limits.max_output_symbols) {
            incomplete_ = true;
            continue;
          }
          next.out.push_back(out);
        }
      }
      if (seen.insert(key(next)).second) stack.push_back(std::move(next));
    }
  }
  return results;
}

std::vector<std::string> AttReference::SampleTexts(std::mt19937& rng, int count,
                                                   bool second) const {
  std::vector<std::string> texts;
  for (int i = 0; i < count * 20 && static_cast<int>(texts.size()) < count; ++i) {
    uint32_t q = start_;
    std::string text;
    for (int step = 0; step < 40; ++step) {
      const auto& arcs = arcs_[q];
      if (final_[q] && (arcs.empty() || rng() % 4 == 0)) {
        texts.push_back(text);
        break;
      }
      if (arcs.empty()) break;
      const Arc& arc = arcs[rng() % arcs.size()];
      text += Render(second ? arc.out : arc.in);
      q = arc.dst;
    }
  }
  return texts;
}

std::string RandomAtt(const RandomAttOptions& o, std::mt19937& rng) {
  auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };
  auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
  std::vector<std::string> all = o.chars;
  all.insert(all.end(), o.tags.begin(), o.tags.end());
  const int n = std::max(1, o.states);
  std::string text;
  auto arc = [&](int src, int dst, const std::string& in, const std::string& out) {
    text += std::to_string(src) + "\t" + std::to_string(dst) + "\t" + in + "\t" + out + "\n";
  };
  auto forward = [&](int src) { return src + 1 + static_cast<int>(rng() % (n - src)); };
  for (int i = 0; i < o.arcs; ++i) {
    int src = static_cast<int>(rng() % n);
    bool back = o.cyclic && chance(0.25);
    int dst = back ? static_cast<int>(rng() % n) : std::min(forward(src), n - 1);
    bool silent_ok = dst > src;
    if (!silent_ok && !back) dst = src;  // the last state: a loop, so not silent
    if (silent_ok && chance(o.flag) && o.flag_features > 0) {
      int f = static_cast<int>(rng() % o.flag_features);
      std::string s = chance(0.25) ? "@C.F" + std::to_string(f) + "@"
                                   : "@U.F" + std::to_string(f) + ".V" +
                                         std::to_string(rng() % o.flag_values) + "@";
      arc(src, dst, s, s);
      continue;
    }
    std::string in = pick(all);
    std::string out = chance(o.non_identity) ? pick(all) : in;
    if (silent_ok && chance(o.input_epsilon)) in = "@0@";
    if (silent_ok && chance(o.output_epsilon)) out = "@0@";
    if (!silent_ok) in = pick(o.chars), out = chance(o.non_identity) ? pick(o.chars) : in;
    arc(src, dst, in, out);
  }
  for (int w = 0; w < o.wide_states; ++w) {
    int src = static_cast<int>(rng() % std::max(1, n - 1));
    for (const std::string& c : o.chars) {
      int dst = std::min(forward(src), n - 1);
      arc(src, dst > src ? dst : src, c, chance(o.non_identity) ? pick(o.chars) : c);
    }
  }
  bool any_final = false;
  for (int q = 0; q < n; ++q) {
    if (q == n - 1 || chance(o.final_probability)) {
      text += std::to_string(q) + "\n";
      any_final = true;
    }
  }
  if (!any_final) text += "0\n";
  if (text.find('\t') == std::string::npos) text = "0\n";
  // The start state is the first state of the first line: put an arc of state 0 first.
  auto first = text.find("\n0\t");
  if (text.rfind("0\t", 0) != 0 && first != std::string::npos) {
    std::size_t end = text.find('\n', first + 1);
    std::string line = text.substr(first + 1, end - first);
    text.erase(first + 1, end - first);
    text = line + text;
  } else if (text.rfind("0\t", 0) != 0) {
    text = "0\n" + text;
  }
  return text;
}

}  // namespace vtm::testing
