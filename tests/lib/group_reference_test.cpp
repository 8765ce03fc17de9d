// vtm_group against a reference reading of the grouping transducer's path on symbol
// names: random paths over 90 tags and 60 bracket tags (so that many codes carry
// escapes), random blank and multi-word-continuation tokens, decoy paths beside the
// one that accepts the sentence.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "support/group_fixtures.h"

namespace vtm::test {
namespace {

struct RefRecord {
  int first, count;
  std::string label;
};

// Tag text "t<n>".
std::string Tag(unsigned n) {
  std::string s = "t";
  s += std::to_string(n);
  return s;
}

// Bracket tag text, e.g. "(l7" (built by appending: GCC 12 warns falsely about
// concatenations of temporaries).
std::string Bracket(char bracket, unsigned label) {
  std::string s(1, bracket);
  s += 'l';
  s += std::to_string(label);
  return s;
}

// The parse rules on symbol names: tags pass through one token each (after any
// skipped tokens), "(" opens a group at the next given tag's token moved back over
// continuation words, ")" closes the most recent open group.
std::vector<RefRecord> ReferenceGroups(const std::vector<std::string>& path,
                                       const std::vector<std::string>& tags) {
  const int n = static_cast<int>(tags.size());
  auto skipped = [&](int t) { return tags[t].empty() || tags[t][0] == '_'; };
  std::vector<RefRecord> records;
  int t = 0, latest = -1;
  for (const std::string& s : path) {
    if (s[0] == '(') {
      while (t < n && skipped(t)) ++t;
      int start = t;
      while (start > 0 && tags[start - 1][0] == '_') --start;
      records.push_back({start, -1, s.substr(1)});
      latest = static_cast<int>(records.size()) - 1;
    } else if (s[0] == ')') {
      int j = latest;
      while (j >= 0 && records[j].count != -1) --j;
      if (j >= 0) records[j].count = t - records[j].first;
      latest = j - 1;
    } else {
      while (t < n && skipped(t)) ++t;
      ++t;
    }
  }
  return records;
}

std::string Join(const std::vector<std::string>& words) {
  std::string s;
  for (const std::string& w : words) s += (s.empty() ? "" : " ") + w;
  return s;
}

std::vector<std::string> RandomPath(std::mt19937& rng) {
  std::vector<std::string> path;
  const int length = 1 + static_cast<int>(rng() % 10);
  for (int i = 0; i < length; ++i) {
    while (rng() % 3 == 0) {
      path.push_back(Bracket(rng() % 2 ? '(' : ')', rng() % 30));
    }
    path.push_back(Tag(rng() % 90));
  }
  while (rng() % 2 == 0) path.push_back(Bracket(')', rng() % 30));
  return path;
}

TEST(GroupReference, RandomPathsWithEscapedCodesAndSkippedTokens) {
  std::mt19937 rng(2024);
  int compared = 0, escaped_runs = 0;
  for (int round = 0; round < 150; ++round) {
    const std::vector<std::string> path = RandomPath(rng);
    std::vector<std::string> given;  // the tags of the path, in order
    for (const std::string& s : path)
      if (s[0] != '(' && s[0] != ')') given.push_back(s);
    Paths paths{Join(path)};
    for (int d = 0; d < 4; ++d) {
      std::vector<std::string> decoy = RandomPath(rng);
      std::vector<std::string> decoy_tags;
      for (const std::string& s : decoy)
        if (s[0] != '(' && s[0] != ')') decoy_tags.push_back(s);
      if (decoy_tags != given) paths.push_back(Join(decoy));
    }
    // Every tag and label appears in the table, so codes with escapes are common.
    std::vector<std::string> extra;
    for (unsigned i = 0; i < 90; ++i) extra.push_back(Tag(i));
    std::string labels;
    for (unsigned i = 0; i < 30; ++i) {
      labels += " +";
      labels += Bracket('(', i);
      labels += " +";
      labels += Bracket(')', i);
    }
    paths.push_back("zzz" + labels);
    FsmPtr fsm = BuildGrouping(paths, {}, extra);
    GrouperPtr grouper(vtm_make_grouper(fsm.get()));
    ASSERT_EQ(vtm_object_error_code(grouper.get()), 0);
    if (fsm->header.esc_label != 0) ++escaped_runs;
    for (int variant = 0; variant < 4; ++variant) {
      std::vector<std::string> tags;
      for (const std::string& tag : given) {
        while (rng() % 4 == 0) tags.push_back(rng() % 2 ? "" : "__mwt");
        tags.push_back(tag);
      }
      while (rng() % 4 == 0) tags.push_back("");
      const std::vector<RefRecord> expected = ReferenceGroups(path, tags);
      const Grouped got = Group(grouper.get(), tags, 0, 64, 4096);
      ASSERT_EQ(got.rc, static_cast<int>(expected.size())) << Join(path);
      int offset = 0;
      for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(got.records[k].first_token, expected[k].first) << Join(path);
        EXPECT_EQ(got.records[k].token_count, expected[k].count) << Join(path);
        EXPECT_EQ(got.records[k].name_offset, offset);
        EXPECT_EQ(got.labels[k], expected[k].label);
        offset += static_cast<int>(expected[k].label.size()) + 1;
      }
      ++compared;
    }
  }
  EXPECT_EQ(compared, 600);
  EXPECT_EQ(escaped_runs, 150);
}

}  // namespace
}  // namespace vtm::test
