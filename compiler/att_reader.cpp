// AT&T text parser: splits lines into fields, maps sparse state numbers to dense ids
// and interns symbol texts. Every malformed line is reported with its number.
#include "att_reader.h"

#include <charconv>
#include <unordered_map>

#include "quoted_text.h"

namespace vtm::compiler {
namespace {

// State numbers above this are refused: they would only come from damaged input, and
// dense ids are 32-bit.
constexpr uint64_t kMaxStateNumber = 0x7FFFFFFF;

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  char sep = line.find('\t') != std::string_view::npos ? '\t' : ' ';
  std::size_t start = 0;
  while (true) {
    std::size_t end = line.find(sep, start);
    if (end == std::string_view::npos) {
      fields.push_back(line.substr(start));
      break;
    }
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  // lttoolbox ends its lines with a tab: one trailing empty field is not a field.
  if (sep == '\t' && fields.size() > 1 && fields.back().empty()) fields.pop_back();
  if (sep == ' ') {  // space-separated lines: runs of spaces are one separator
    std::vector<std::string_view> kept;
    for (auto f : fields)
      if (!f.empty()) kept.push_back(f);
    fields = kept;
  }
  return fields;
}

bool ParseWeight(std::string_view text) {
  if (text.empty()) return false;
  std::string s(text);
  char* end = nullptr;
  std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size();
}

class Parser {
 public:
  Parser(AttTransducer* out, std::string* error) : out_(out), error_(error) {}

  bool Line(std::string_view line, uint32_t number) {
    line_ = number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find('\0') != std::string_view::npos) return Fail("NUL byte in the text");
    if (line.find_first_not_of(" \t") == std::string_view::npos) return true;  // blank
    auto fields = SplitFields(line);
    switch (fields.size()) {
      case 1:
      case 2: {
        uint32_t state;
        if (!State(fields[0], &state)) return false;
        if (fields.size() == 2 && !ParseWeight(fields[1]))
          return Fail("final weight '" + QuotedText(fields[1]) + "' is not a number");
        out_->final[state] = 1;
        return true;
      }
      case 3:
      case 4:
      case 5: {
        uint32_t src, dst;
        if (!State(fields[0], &src) || !State(fields[1], &dst)) return false;
        std::string_view in = fields[2];
        std::string_view out = fields.size() == 3 ? fields[2] : fields[3];
        if (in.empty() || out.empty()) return Fail("empty symbol field");
        if (fields.size() == 5 && !ParseWeight(fields[4]))
          return Fail("arc weight '" + QuotedText(fields[4]) + "' is not a number");
        out_->arcs.push_back({src, dst, Symbol(in), Symbol(out), line_});
        return true;
      }
      default:
        return Fail("expected 1 to 5 tab-separated fields, found " + std::to_string(fields.size()));
    }
  }

  bool Fail(const std::string& message) {
    *error_ = "line " + std::to_string(line_) + ": " + message;
    return false;
  }

 private:
  bool State(std::string_view field, uint32_t* id) {
    uint64_t number = 0;
    auto [ptr, ec] = std::from_chars(field.data(), field.data() + field.size(), number);
    if (field.empty() || ec != std::errc() || ptr != field.data() + field.size())
      return Fail("state number '" + QuotedText(field) + "' is not a non-negative integer");
    if (number > kMaxStateNumber)
      return Fail("state number " + QuotedText(field) + " is too large");
    auto [it, fresh] = states_.try_emplace(number, static_cast<uint32_t>(out_->final.size()));
    if (fresh) {
      out_->final.push_back(0);
      out_->state_numbers.push_back(number);
      out_->state_lines.push_back(line_);
    }
    *id = it->second;
    return true;
  }

  uint32_t Symbol(std::string_view text) {
    auto [it, fresh] =
        symbols_.try_emplace(std::string(text), static_cast<uint32_t>(out_->symbols.size()));
    if (fresh) out_->symbols.emplace_back(text);
    return it->second;
  }

  AttTransducer* out_;
  std::string* error_;
  uint32_t line_ = 0;
  std::unordered_map<uint64_t, uint32_t> states_;
  std::unordered_map<std::string, uint32_t> symbols_;
};

}  // namespace

bool ReadAtt(std::string_view text, int section, AttTransducer* out, std::string* error) {
  *out = AttTransducer();
  Parser parser(out, error);
  int current = 1;
  int sections = 1;
  bool any = false;
  uint32_t number = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    if (line == "--" || line == "--\r") {
      ++sections;
      ++current;
      if (section == 0) {
        *error = "line " + std::to_string(number) +
                 ": the text holds several transducers (a '--' separator line); choose one "
                 "with the section option";
        return false;
      }
      continue;
    }
    if (section != 0 && current != section) continue;
    if (!parser.Line(line, number)) return false;
    any = any || line.find_first_not_of(" \t\r") != std::string_view::npos;
  }
  if (section > sections) {
    *error = "section " + std::to_string(section) + " requested, the text holds " +
             std::to_string(sections);
    return false;
  }
  if (!any) {
    *error = "no transducer: the input is empty";
    return false;
  }
  out->start = 0;  // the first state seen is the first field of the first line
  return true;
}

}  // namespace vtm::compiler
