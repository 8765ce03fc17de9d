// Chunk grammar reader and tag-pattern compiler (see chunk_grammar.h).
#include "chunk_grammar.h"

#include <regex>

namespace vtm::compiler {
namespace {

std::string Trim(const std::string& s, std::size_t* first = nullptr) {
  const std::size_t b = s.find_first_not_of(" \t\r\f\v");
  if (b == std::string::npos) {
    if (first) *first = s.size();
    return "";
  }
  const std::size_t e = s.find_last_not_of(" \t\r\f\v");
  if (first) *first = b;
  return s.substr(b, e - b + 1);
}

// Tag-pattern parser. The pattern's whitespace is ignored (as NLTK removes it); every
// character keeps its column for messages.
class PatternParser {
 public:
  PatternParser(const std::string& text, int line, int column, ChunkRule* rule)
      : line_(line), rule_(rule) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\f' ||
          text[i] == '\v') {
        continue;
      }
      chars_.push_back(text[i]);
      columns_.push_back(column + static_cast<int>(i));
    }
    end_column_ = column + static_cast<int>(text.size());
  }

  bool Parse(std::string* error) {
    error_ = error;
    if (chars_.empty()) return Fail(end_column_, "empty chunk pattern");
    if (!Alternation()) return false;
    if (pos_ < chars_.size()) return Fail(Column(), "unexpected '" + std::string(1, Peek()) + "'");
    Emit({ChunkInst::kMatch});
    return true;
  }

 private:
  using Code = std::vector<ChunkInst>;

  char Peek() const { return pos_ < chars_.size() ? chars_[pos_] : '\0'; }
  int Column() const { return pos_ < chars_.size() ? columns_[pos_] : end_column_; }
  bool Fail(int column, const std::string& message) {
    *error_ =
        "line " + std::to_string(line_) + ", column " + std::to_string(column) + ": " + message;
    return false;
  }
  int Here() const { return static_cast<int>(rule_->program.size()); }
  int Emit(ChunkInst inst) {
    rule_->program.push_back(inst);
    return Here() - 1;
  }

  // Pieces are compiled by emitting code in place; a piece that must be repeated is
  // re-parsed from its start position (the pattern text is tiny).
  // alt := seq ('|' seq)*. Every alternative but the last starts with a split that
  // prefers it and otherwise goes on to the next one; each ends with a jump past the
  // last. A lone sequence keeps its (no-op) first split as a jump to the next
  // instruction.
  bool Alternation() {
    int split = Emit({ChunkInst::kSplit});
    if (!Sequence()) return false;
    std::vector<int> exits;
    while (Peek() == '|') {
      ++pos_;
      exits.push_back(Emit({ChunkInst::kJump}));
      SetSplit(split, split + 1, Here(), false);
      split = Emit({ChunkInst::kSplit});
      if (!Sequence()) return false;
    }
    rule_->program[split] = {ChunkInst::kJump, split + 1};
    for (int e : exits) rule_->program[e].x = Here();
    return true;
  }

  bool Sequence() {
    while (pos_ < chars_.size() && Peek() != '|' && Peek() != ')') {
      if (!Quantified()) return false;
    }
    return true;
  }

  // Reads a count "{m}", "{m,}", "{,n}", "{m,n}"; false when there is none here.
  bool Counts(int* low, int* high) {
    if (Peek() != '{') return false;
    std::size_t p = pos_ + 1;
    auto number = [&](int* out) {
      const std::size_t start = p;
      long value = 0;
      while (p < chars_.size() && chars_[p] >= '0' && chars_[p] <= '9') {
        value = value * 10 + (chars_[p++] - '0');
        if (value > 100) value = 101;
      }
      *out = static_cast<int>(value);
      return p > start;
    };
    int m = 0, n = -1;
    const bool has_m = number(&m);
    if (p < chars_.size() && chars_[p] == ',') {
      ++p;
      if (!number(&n)) n = -1;
      if (!has_m && n < 0) return false;
    } else {
      if (!has_m) return false;
      n = m;
    }
    if (p >= chars_.size() || chars_[p] != '}') return false;
    pos_ = p + 1;
    *low = m;
    *high = n;
    return true;
  }

  bool Quantified() {
    const std::size_t atom_start = pos_;
    const int code_start = Here();
    if (!Atom()) return false;
    int low = 1, high = 1;
    const int quant_column = Column();
    if (Peek() == '*') {
      ++pos_, low = 0, high = -1;
    } else if (Peek() == '+') {
      ++pos_, low = 1, high = -1;
    } else if (Peek() == '?') {
      ++pos_, low = 0, high = 1;
    } else if (!Counts(&low, &high)) {
      return true;
    }
    bool lazy = false;
    if (Peek() == '?') ++pos_, lazy = true;
    if (Peek() == '*' || Peek() == '+' || Peek() == '?' || Peek() == '{') {
      return Fail(Column(), "multiple repeat");
    }
    if (high >= 0 && high < low) return Fail(quant_column, "min repeat greater than max repeat");
    if (low > 100 || high > 100) return Fail(quant_column, "repeat count above 100");
    const std::size_t after = pos_;
    // Re-emit the atom as often as needed: drop the first copy, then build.
    rule_->program.resize(static_cast<std::size_t>(code_start));
    auto atom = [&]() {
      pos_ = atom_start;
      const bool ok = Atom();
      pos_ = after;
      return ok;
    };
    for (int k = 0; k < low; ++k) {
      if (!atom()) return false;
    }
    const int id = repeats_++;
    if (high < 0) {
      // x*: L: SPLIT(enter, out); enter: ENTER; x; ITER(L, out)
      const int loop = Emit({ChunkInst::kSplit});
      Emit({ChunkInst::kEnter, 0, 0, id});
      if (!atom()) return false;
      const int iter = Emit({ChunkInst::kIter, loop, 0, id});
      SetSplit(loop, loop + 1, Here(), lazy);
      rule_->program[iter].y = Here();
    } else {
      // x{0,k}: k copies of SPLIT(enter, out); ENTER; x; ITER(next copy, out)
      std::vector<int> splits, iters;
      for (int k = low; k < high; ++k) {
        splits.push_back(Emit({ChunkInst::kSplit}));
        Emit({ChunkInst::kEnter, 0, 0, id});
        if (!atom()) return false;
        iters.push_back(Emit({ChunkInst::kIter, Here() + 1, 0, id}));
      }
      for (int s : splits) SetSplit(s, s + 1, Here(), lazy);
      for (int i : iters) rule_->program[i].y = Here();
    }
    pos_ = after;
    return true;
  }

  void SetSplit(int at, int body, int out, bool lazy) {
    rule_->program[at].op = ChunkInst::kSplit;
    rule_->program[at].x = lazy ? out : body;
    rule_->program[at].y = lazy ? body : out;
  }

  bool Atom() {
    if (Peek() == '<') {
      const int column = Column();
      std::size_t p = pos_ + 1;
      std::string test;
      while (p < chars_.size() && chars_[p] != '>') {
        if (chars_[p] == '<' || chars_[p] == '{' || chars_[p] == '}') {
          pos_ = p;
          return Fail(Column(), "'" + std::string(1, chars_[p]) + "' inside a tag pattern");
        }
        test += chars_[p++];
      }
      if (p >= chars_.size()) return Fail(column, "unclosed '<'");
      if (test.empty()) return Fail(column, "empty tag pattern '<>'");
      try {
        std::regex check(test);
      } catch (const std::regex_error&) {
        return Fail(column + 1, "bad regular expression '" + test + "'");
      }
      rule_->tests.push_back(test);
      Emit({ChunkInst::kTag, 0, 0, static_cast<int>(rule_->tests.size()) - 1});
      pos_ = p + 1;
      return true;
    }
    if (Peek() == '(') {
      const int column = Column();
      ++pos_;
      if (Peek() == '?' && pos_ + 1 < chars_.size() && chars_[pos_ + 1] == ':') pos_ += 2;
      if (!Alternation()) return false;
      if (Peek() != ')') return Fail(column, "missing ')'");
      ++pos_;
      return true;
    }
    if (Peek() == '\0') return Fail(Column(), "pattern ends where a tag pattern is expected");
    return Fail(Column(), "unexpected '" + std::string(1, Peek()) +
                              "': outside <...> only groups, '|' and repetitions are allowed");
  }

  int line_;
  ChunkRule* rule_;
  std::vector<char> chars_;
  std::vector<int> columns_;
  int end_column_ = 0;
  std::size_t pos_ = 0;
  int repeats_ = 0;
  std::string* error_ = nullptr;
};

// True when the program accepts the empty token sequence.
bool MatchesEmpty(const std::vector<ChunkInst>& program) {
  std::vector<int> todo{0};
  std::vector<bool> seen(program.size(), false);
  while (!todo.empty()) {
    const int pc = todo.back();
    todo.pop_back();
    if (seen[pc]) continue;
    seen[pc] = true;
    const ChunkInst& in = program[pc];
    if (in.op == ChunkInst::kMatch) return true;
    if (in.op == ChunkInst::kJump) todo.push_back(in.x);
    if (in.op == ChunkInst::kEnter) todo.push_back(pc + 1);
    if (in.op == ChunkInst::kSplit || in.op == ChunkInst::kIter) {
      todo.push_back(in.x), todo.push_back(in.y);
    }
  }
  return false;
}

// Position of the first '#' or ':' not preceded by a backslash escape (from `from`).
std::size_t FindUnescaped(const std::string& s, char c, std::size_t from = 0, bool escapes = true) {
  for (std::size_t i = from; i < s.size(); ++i) {
    if (escapes && s[i] == '\\') {
      ++i;
      continue;
    }
    if (s[i] == c) return i;
  }
  return std::string::npos;
}

}  // namespace

bool ParseChunkGrammar(const std::string& text, std::vector<ChunkStage>* stages,
                       std::string* error) {
  stages->clear();
  bool in_stage = false;
  int line_number = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string raw = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    std::size_t offset = 0;  // column of rest[0] minus 1
    std::string rest = raw;
    // A stage begins at the line's first ':' (NLTK takes any ':' as a stage marker).
    const std::size_t colon = FindUnescaped(rest, ':', 0, false);
    if (colon != std::string::npos) {
      std::size_t label_at = 0;
      const std::string label = Trim(rest.substr(0, colon), &label_at);
      auto fail = [&](const std::string& message) {
        *error = "line " + std::to_string(line_number) + ", column " +
                 std::to_string(label_at + 1) + ": " + message;
        return false;
      };
      if (label.empty()) return fail("empty stage label before ':'");
      if (label.size() > kMaxChunkLabel) {
        return fail("stage label longer than " + std::to_string(kMaxChunkLabel) + " bytes");
      }
      for (char c : label) {
        if (c == ' ' || c == '\t' || c == '<' || c == '>' || c == '{' || c == '}' || c == '[' ||
            c == ']' || c == '#' || static_cast<unsigned char>(c) < 32) {
          return fail("stage label '" + label + "' holds a character that labels cannot have");
        }
      }
      stages->push_back({label, line_number, {}});
      in_stage = true;
      offset = colon + 1;
      rest = raw.substr(colon + 1);
    }
    std::size_t first = 0;
    const std::string trimmed = Trim(rest, &first);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const int column = static_cast<int>(offset + first) + 1;
    const std::size_t hash = FindUnescaped(trimmed, '#');
    const std::string rule_text = Trim(trimmed.substr(0, hash));
    auto fail = [&](int col, const std::string& message) {
      *error = "line " + std::to_string(line_number) + ", column " + std::to_string(col) + ": " +
               message;
      return false;
    };
    if (!in_stage) return fail(column, "a rule before the first stage label (such as NP:)");
    if (rule_text.size() < 2 || rule_text.front() != '{' || rule_text.back() != '}') {
      if (rule_text.find('{') != std::string::npos || rule_text.find('}') != std::string::npos) {
        return fail(column,
                    "only chunk rules {...} are supported (no chink, split or merge rules)");
      }
      return fail(column, "expected a chunk rule {<tag pattern>...}");
    }
    ChunkRule rule;
    rule.line = line_number;
    rule.column = column;
    const std::string pattern = rule_text.substr(1, rule_text.size() - 2);
    PatternParser parser(pattern, line_number, column + 1, &rule);
    if (!parser.Parse(error)) return false;
    if (MatchesEmpty(rule.program)) {
      return fail(column, "pattern {" + pattern +
                              "} matches the empty tag sequence (it would make empty chunks)");
    }
    stages->back().rules.push_back(std::move(rule));
  }
  // Stages without rules add nothing (NLTK skips them).
  std::vector<ChunkStage> kept;
  for (ChunkStage& s : *stages)
    if (!s.rules.empty()) kept.push_back(std::move(s));
  *stages = std::move(kept);
  if (stages->empty()) {
    *error = "line 1, column 1: the grammar has no chunk rule";
    return false;
  }
  return true;
}

}  // namespace vtm::compiler
