// Grouping one sentence and writing its groups (see group_writer.h).
#include "group_writer.h"

#include <algorithm>

#include "library_message.h"
#include "text_edges.h"

namespace vtm::cli {

GroupFormat GroupFormatNamed(const std::string& name) {
  return name == "tsv"    ? GroupFormat::kTsv
         : name == "json" ? GroupFormat::kJson
                          : GroupFormat::kText;
}

std::string GroupWriter::Sentence(const TaggedSentence& s, std::size_t number, std::string* out) {
  const int count = static_cast<int>(s.tokens.size());
  int rc = VTM_ERR_INVALID_NUMBER;
  if (s.error.empty()) {
    tags_.clear();
    for (const TaggedToken& t : s.tokens) {
      tags_ += GrouperTag(t.tag);
      tags_.push_back('\0');
    }
    tags_.push_back('\0');
    const std::size_t capacity = 8 * s.tokens.size() + 16;
    if (records_.size() < capacity) records_.resize(capacity), names_.resize(32 * capacity);
    int flags =
        (options_.subgroups ? VTM_GROUP_SUBGROUPS : 0) | (options_.sort ? VTM_GROUP_SORT : 0);
    rc = vtm_group(tags_.data(), count, flags, records_.data(), static_cast<int>(capacity),
                   names_.data(), static_cast<int>(names_.size()), grouper_);
  }
  const std::string error = !s.error.empty() ? s.error : rc < 0 ? LibraryMessage(rc) : "";
  const int n = rc < 0 ? 0 : rc;
  group_count_ = n;
  if (options_.format == GroupFormat::kTsv) {
    Tsv(s, number, n, out);
  } else if (options_.format == GroupFormat::kJson) {
    Json(s, number, n, error, out);
  } else {
    Bracketed(s, n, out);
  }
  return error;
}

std::string GroupWriter::Words(const TaggedSentence& s, const VtmGroup& g) const {
  std::string text;
  if (g.token_count < 0) return text;
  for (int i = g.first_token; i < g.first_token + g.token_count; ++i) {
    if (i > g.first_token) text.push_back(' ');
    text += s.tokens[static_cast<std::size_t>(i)].word;
  }
  return text;
}

void GroupWriter::Tsv(const TaggedSentence& s, std::size_t number, int n, std::string* out) const {
  for (int k = 0; k < n; ++k) {
    const VtmGroup& g = records_[static_cast<std::size_t>(k)];
    *out += std::to_string(number) + '\t' + std::to_string(g.first_token) + '\t' +
            std::to_string(g.token_count) + '\t' + Label(g) + '\t' + Words(s, g) + '\n';
  }
}

void GroupWriter::Json(const TaggedSentence& s, std::size_t number, int n, const std::string& error,
                       std::string* out) const {
  *out += "{\"sentence\":" + std::to_string(number);
  if (!error.empty()) {
    *out += ",\"error\":";
    AppendJsonString(error, out);
  }
  *out += ",\"groups\":[";
  for (int k = 0; k < n; ++k) {
    const VtmGroup& g = records_[static_cast<std::size_t>(k)];
    if (k > 0) out->push_back(',');
    *out += "{\"label\":";
    AppendJsonString(Label(g), out);
    *out += ",\"first\":" + std::to_string(g.first_token) +
            ",\"count\":" + std::to_string(g.token_count) + ",\"text\":";
    AppendJsonString(Words(s, g), out);
    out->push_back('}');
  }
  *out += "]}\n";
}

// "[np the/at old/jj man/nn ] ..." with nested groups; groups never closed are left
// out.
void GroupWriter::Bracketed(const TaggedSentence& s, int n, std::string* out) {
  order_.clear();
  for (int k = 0; k < n; ++k)
    if (records_[static_cast<std::size_t>(k)].token_count >= 0) order_.push_back(k);
  std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
    const VtmGroup& x = records_[static_cast<std::size_t>(a)];
    const VtmGroup& y = records_[static_cast<std::size_t>(b)];
    if (x.first_token != y.first_token) return x.first_token < y.first_token;
    return x.token_count > y.token_count;
  });
  std::vector<int> ends;  // open groups' end tokens, innermost last
  std::size_t next = 0;
  bool first = true;
  auto item = [&](const std::string& text) {
    if (!first) out->push_back(' ');
    *out += text;
    first = false;
  };
  const int count = static_cast<int>(s.tokens.size());
  for (int i = 0; i <= count; ++i) {
    while (!ends.empty() && ends.back() <= i) ends.pop_back(), item("]");
    while (next < order_.size() &&
           records_[static_cast<std::size_t>(order_[next])].first_token == i) {
      const VtmGroup& g = records_[static_cast<std::size_t>(order_[next++])];
      item(std::string("[") + Label(g));
      if (g.token_count == 0) {
        item("]");
      } else {
        ends.push_back(g.first_token + g.token_count);
      }
    }
    if (i == count) break;
    const TaggedToken& t = s.tokens[static_cast<std::size_t>(i)];
    item(t.tag.empty() ? t.word : t.word + "/" + t.tag);
  }
  while (!ends.empty()) ends.pop_back(), item("]");
  out->push_back('\n');
}

}  // namespace vtm::cli
