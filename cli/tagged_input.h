// Tagged sentences as `vtm group` reads them: "word/tag" tokens one sentence per line
// (the tag after the last '/'), "word<TAB>tag" lines with a blank line after each
// sentence, or JSON lines holding an array of [word, tag] pairs. Tested in
// tests/cli/chunk_test.sh.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vtm::cli {

enum class TaggedFormat { kSlash, kTsv, kJson };

struct TaggedToken {
  std::string word, tag;
};

struct TaggedSentence {
  std::vector<TaggedToken> tokens;
  std::size_t line = 0;  // input line where it starts
  std::string error;     // a line that could not be read
};

// Splits `text` into sentences; calls `sink` for each.
template <typename Sink>
void ReadTagged(std::string_view text, TaggedFormat format, Sink sink);

// One line of JSON: [["word","tag"], ...]; false when it is not of that form.
bool ParseJsonPairs(std::string_view line, std::vector<TaggedToken>* tokens);

// The grouper's name for a tag: a tag that begins with "(" or ")" (a label to the
// grouper) gets "-lrb-" or "-rrb-" for its bracket, as in the bundled English data.
std::string GrouperTag(const std::string& tag);

template <typename Sink>
void ReadTagged(std::string_view text, TaggedFormat format, Sink sink) {
  std::size_t line_no = 0, at = 0;
  TaggedSentence sentence;
  // Every line of the one-line formats is a sentence (an empty line an empty one, so
  // that output lines stay aligned with input lines); tsv sentences end at blank lines.
  auto flush = [&](bool always = false) {
    if (always || !sentence.tokens.empty() || !sentence.error.empty()) sink(sentence);
    sentence = TaggedSentence();
  };
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (format == TaggedFormat::kTsv) {
      if (line.empty()) {
        flush();
        continue;
      }
      if (sentence.tokens.empty()) sentence.line = line_no;
      const std::size_t tab = line.find('\t');
      TaggedToken token;
      token.word = std::string(line.substr(0, tab));
      if (tab != std::string_view::npos) {
        std::string_view rest = line.substr(tab + 1);
        token.tag = std::string(rest.substr(0, rest.find('\t')));
      }
      sentence.tokens.push_back(std::move(token));
      continue;
    }
    sentence.line = line_no;
    if (format == TaggedFormat::kJson) {
      if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
      if (!ParseJsonPairs(line, &sentence.tokens)) {
        sentence.error = "not a JSON array of [word, tag] pairs";
      }
      flush(true);
      continue;
    }
    std::size_t p = 0;
    while (p < line.size()) {
      while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
      std::size_t q = p;
      while (q < line.size() && line[q] != ' ' && line[q] != '\t') ++q;
      if (q > p) {
        std::string_view item = line.substr(p, q - p);
        const std::size_t slash = item.rfind('/');
        TaggedToken token;
        if (slash == std::string_view::npos || slash == 0) {
          token.word = std::string(item);
        } else {
          token.word = std::string(item.substr(0, slash));
          token.tag = std::string(item.substr(slash + 1));
        }
        sentence.tokens.push_back(std::move(token));
      }
      p = q;
    }
    flush(true);
  }
  flush();
}

}  // namespace vtm::cli
