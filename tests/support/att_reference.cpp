// Reference interpreter over AT&T graphs and the random transducer generator.
#include "att_reference.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <unordered_set>

namespace vtm::test {
namespace {

// The reference reads AT&T text with a reader of its own, deliberately simpler than
// the compiler's (tab-separated fields only), so that a fault of the compiler's reader
// cannot pass on both sides of a differential test.

// Unicode code points of the Windows-1252 bytes 0x80..0x9F that differ from Latin-1.
constexpr std::pair<char32_t, unsigned char> kCp1252High[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
    {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
    {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
    {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F}};

// UTF-8 text as Windows-1252 bytes; nullopt for bad UTF-8 or a character outside it.
std::optional<std::string> ToWindows1252(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80       ? 1
                       : lead >> 5 == 6  ? 2
                       : lead >> 4 == 14 ? 3
                       : lead >> 3 == 30 ? 4
                                         : 0;
    if (length == 0 || i + length > text.size()) return std::nullopt;
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return std::nullopt;
      cp = cp << 6 | (c & 0x3F);
    }
    i += length;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      bytes += static_cast<char>(cp);
      continue;
    }
    const auto* hit = std::find_if(std::begin(kCp1252High), std::end(kCp1252High),
                                   [cp](const auto& e) { return e.first == cp; });
    if (hit == std::end(kCp1252High)) return std::nullopt;
    bytes += static_cast<char>(hit->second);
  }
  return bytes;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

bool AttReference::Parse(std::string_view att, int section, std::string* error) {
  syms_.clear();
  arcs_.clear();
  final_.clear();
  start_ = 0;
  std::map<std::string, int> features;
  std::vector<std::map<std::string, int>> values;
  std::map<std::string, int32_t> symbol_ids;  // by AT&T text; -1 epsilon
  std::map<uint64_t, uint32_t> states;        // state number -> dense id
  auto state = [&](std::string_view field, uint32_t* id) {
    uint64_t number = 0;
    auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), number);
    if (field.empty() || ec != std::errc() || end != field.data() + field.size()) return false;
    auto [it, fresh] = states.try_emplace(number, static_cast<uint32_t>(final_.size()));
    if (fresh) final_.push_back(0), arcs_.emplace_back();
    *id = it->second;
    return true;
  };
  auto symbol = [&](std::string text, int32_t* id) -> bool {
    if (auto known = symbol_ids.find(text); known != symbol_ids.end())
      return *id = known->second, true;
    Sym out{Sym::kOther, text};
    if (text == "@0@" || text == "@_EPSILON_SYMBOL_@") return *id = symbol_ids[text] = -1, true;
    const std::string plain = text == "@_SPACE_@" ? " " : text == "@_TAB_@" ? "\t" : text;
    const bool flag = text.size() >= 4 && text[0] == '@' && text.back() == '@' && text[2] == '.';
    if (flag) {
      const auto parts = Split(std::string_view(text).substr(3, text.size() - 4), '.');
      if (text[1] == 'U' && parts.size() == 2 && !parts[0].empty() && !parts[1].empty()) {
        const int f = features.emplace(std::string(parts[0]), int(features.size())).first->second;
        if (values.size() <= std::size_t(f)) values.resize(f + 1);
        const int v =
            values[f].emplace(std::string(parts[1]), int(values[f].size()) + 1).first->second;
        out = {Sym::kFlag, text, 'U', f, v};
      } else if (text[1] == 'C' && parts.size() == 1 && !parts[0].empty()) {
        const int f = features.emplace(std::string(parts[0]), int(features.size())).first->second;
        out = {Sym::kFlag, text, 'C', f, 0};
      } else {
        return *error = "unsupported flag " + text, false;
      }
    } else if (text != "*TAGSEP*" && text != "EOS" && text != "TB" && text != "EOF") {
      std::optional<std::string> bytes = ToWindows1252(plain);
      if (!bytes || bytes->empty()) return *error = "symbol outside Windows-1252: " + text, false;
      if (bytes->size() == 1) {
        out = {Sym::kChar, *bytes};
      } else {
        std::string name = *bytes;
        if (name.size() > 2 && ((name.front() == '<' && name.back() == '>') ||
                                (name.front() == '[' && name.back() == ']'))) {
          name = name.substr(1, name.size() - 2);
        }
        out = {Sym::kTag, name};
      }
    }
    // Symbols with the same meaning share one id ("<n>" and "[n]" are one tag).
    auto same = std::find_if(syms_.begin(), syms_.end(), [&](const Sym& x) {
      return x.kind == out.kind && x.text == out.text && x.op == out.op &&
             x.feature == out.feature && x.value == out.value;
    });
    *id = symbol_ids[text] = static_cast<int32_t>(same - syms_.begin());
    if (same == syms_.end()) syms_.push_back(out);
    return true;
  };

  int current = 1;
  int sections = 1;
  for (std::string_view line : Split(att, '\n')) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line == "--") {
      ++current, ++sections;
      continue;
    }
    if (line.empty() || (section != 0 && current != section)) continue;
    std::vector<std::string_view> fields = Split(line, '\t');
    uint32_t src = 0, dst = 0;
    if (fields.size() <= 2) {
      if (!state(fields[0], &src)) return *error = "bad state in: " + std::string(line), false;
      final_[src] = 1;
      continue;
    }
    if (fields.size() > 5 || !state(fields[0], &src) || !state(fields[1], &dst)) {
      return *error = "bad arc line: " + std::string(line), false;
    }
    int32_t in = 0, out = 0;
    if (!symbol(std::string(fields[2]), &in)) return false;
    if (!symbol(std::string(fields.size() == 3 ? fields[2] : fields[3]), &out)) return false;
    arcs_[src].push_back({dst, in, out});
  }
  if (section == 0 && sections != 1) return *error = "several transducers in the text", false;
  if (final_.empty()) final_.push_back(0), arcs_.emplace_back();
  features_ = static_cast<int>(features.size());
  if (features_ > 16) return *error = "too many flag features", false;
  // Live states: those from which a final state can be reached. Paths into other states
  // never accept, and not following them keeps queries finite where such a state lies
  // on a cycle that writes without reading.
  live_ = final_;
  for (bool grew = true; grew;) {
    grew = false;
    for (std::size_t q = 0; q < arcs_.size(); ++q) {
      if (live_[q]) continue;
      for (const Arc& a : arcs_[q]) {
        if (live_[a.dst]) {
          live_[q] = 1, grew = true;
          break;
        }
      }
    }
  }
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
      if (!live_[arc.dst]) continue;
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

}  // namespace vtm::test
