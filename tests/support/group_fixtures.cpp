// Grouping transducers for the grouper tests (see group_fixtures.h).
#include "support/group_fixtures.h"

#include <gtest/gtest.h>

#include <sstream>

#include "compiler/att_reader.h"
#include "compiler/transducer_builder.h"

namespace vtm::test {
namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::shared_ptr<compiler::AttTransducer> Att(const std::string& text) {
  auto t = std::make_shared<compiler::AttTransducer>();
  std::string error;
  EXPECT_TRUE(compiler::ReadAtt(text, 0, t.get(), &error)) << error;
  return t;
}

}  // namespace

std::string PathsAtt(const Paths& paths) {
  std::ostringstream att;
  int next = 1;
  std::vector<int> finals;
  for (const std::string& path : paths) {
    int state = 0;
    for (std::string symbol : Words(path)) {
      bool inserted = symbol[0] == '(' || symbol[0] == ')';
      if (symbol[0] == '+') symbol.erase(0, 1), inserted = true;
      att << state << '\t' << next << '\t' << (inserted ? "@0@" : "[" + symbol + "]") << "\t["
          << symbol << "]\n";
      state = next++;
    }
    finals.push_back(state);
  }
  for (int f : finals) att << f << '\n';
  return att.str();
}

FsmPtr BuildGrouping(const Paths& sentence, const Paths& inner,
                     const std::vector<std::string>& extra_tags) {
  Paths first = sentence;
  for (const std::string& tag : extra_tags) first.push_back("zzz " + tag);
  compiler::BuildOptions options;
  if (!first.empty()) {
    options.inputs.push_back({kFunctionGrouper, "62", Att(PathsAtt(first))});
  }
  if (!inner.empty()) {
    options.inputs.push_back({kFunctionGrouper2, "63", Att(PathsAtt(inner))});
  }
  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  std::string error;
  EXPECT_TRUE(compiler::BuildTransducer(options, &spec, &report, &error)) << error;
  return Open(WriteSpec("grouping.vtm", spec));
}

std::string TagList(const std::vector<std::string>& tags) {
  std::string list;
  for (const std::string& t : tags) list += t + '\0';
  return list + '\0';
}

Grouped Group(VtmGrouper grouper, const std::vector<std::string>& tags, int flags, int capacity,
              int names_size) {
  const std::string list = TagList(tags);
  std::vector<VtmGroup> records(static_cast<std::size_t>(capacity) + 1);
  std::vector<char> names(static_cast<std::size_t>(names_size) + 1);
  Grouped g;
  g.rc = vtm_group(list.c_str(), static_cast<int>(tags.size()), flags, records.data(), capacity,
                   names.data(), names_size, grouper);
  for (int i = 0; i < g.rc; ++i) {
    g.records.push_back(records[static_cast<std::size_t>(i)]);
    g.labels.push_back(names.data() + records[static_cast<std::size_t>(i)].name_offset);
  }
  return g;
}

std::string Show(const Grouped& g) {
  if (g.rc < 0) return "error " + std::to_string(g.rc);
  std::string s;
  for (std::size_t i = 0; i < g.records.size(); ++i) {
    if (i > 0) s += "; ";
    s += g.labels[i] + " " + std::to_string(g.records[i].first_token) + " " +
         std::to_string(g.records[i].token_count);
  }
  return s;
}

}  // namespace vtm::test
