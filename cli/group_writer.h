// Grouping of one tagged sentence and its output as `vtm group` and `vtm chunk` write
// it: bracketed text ("[np the/at old/jj man/nn ]", nested groups inside), tsv records
// (sentence number, first token, token count, label, words) or one JSON object per
// sentence. One writer per thread: it owns its record array and name area, while the
// grouper is shared. Tested by tests/cli/chunk_test.sh and tests/cli/chunk_command_test.sh.
#pragma once

#include <string>
#include <vector>

#include "tagged_input.h"
#include "vtmrt.h"

namespace vtm::cli {

// Bundled data name of the English grouper.
inline constexpr const char* kDefaultGrouperName = "english-chunks.vtm";

enum class GroupFormat { kText, kTsv, kJson };

// "text", "tsv" or "json" (the values of --format).
GroupFormat GroupFormatNamed(const std::string& name);

struct GroupOptions {
  GroupFormat format = GroupFormat::kText;
  bool subgroups = false;  // VTM_GROUP_SUBGROUPS
  bool sort = false;       // VTM_GROUP_SORT
};

class GroupWriter {
 public:
  GroupWriter(VtmGrouper grouper, const GroupOptions& options)
      : grouper_(grouper), options_(options) {}

  // Groups sentence `s` (number `number` in the output) and appends its output to *out.
  // Returns "" or why it has no groups (s.error when set, else the library's reason);
  // such a sentence is still written, without groups.
  std::string Sentence(const TaggedSentence& s, std::size_t number, std::string* out);

  // The groups of the last sentence (none when it could not be grouped) and their labels.
  int group_count() const { return group_count_; }
  const VtmGroup& group(int k) const { return records_[static_cast<std::size_t>(k)]; }
  const char* label(const VtmGroup& g) const { return Label(g); }

 private:
  const char* Label(const VtmGroup& g) const { return names_.data() + g.name_offset; }
  std::string Words(const TaggedSentence& s, const VtmGroup& g) const;
  void Tsv(const TaggedSentence& s, std::size_t number, int n, std::string* out) const;
  void Json(const TaggedSentence& s, std::size_t number, int n, const std::string& error,
            std::string* out) const;
  void Bracketed(const TaggedSentence& s, int n, std::string* out);

  VtmGrouper grouper_;
  GroupOptions options_;
  std::string tags_;
  std::vector<VtmGroup> records_;
  std::vector<char> names_;
  std::vector<int> order_;
  int group_count_ = 0;
};

}  // namespace vtm::cli
