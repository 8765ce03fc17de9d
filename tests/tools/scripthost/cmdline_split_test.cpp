// The server library's command-line splitter: separators, quote groups, backslash runs,
// the word limit, and words kept as written without unquoting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corvane.h"

namespace {

std::vector<std::string> Split(const std::string& line, int maxWords = 20,
                               int flags = CORVANE_CMDLINE_UNQUOTE) {
  std::string buffer = line;
  std::vector<char*> words(static_cast<size_t>(maxWords) + 1, nullptr);
  int count = -1;
  const int result = parseCmdLine(buffer.data(), &count, words.data(), maxWords, flags);
  EXPECT_EQ(result, count);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.emplace_back(words[static_cast<size_t>(i)]);
  EXPECT_EQ(words[static_cast<size_t>(maxWords)], nullptr);  // nothing written past the limit
  return out;
}

using Words = std::vector<std::string>;

TEST(CmdlineSplit, BlanksSeparateWords) {
  EXPECT_EQ(Split(""), Words{});
  EXPECT_EQ(Split(" \t "), Words{});
  EXPECT_EQ(Split("  one\ttwo   three "), (Words{"one", "two", "three"}));
  EXPECT_EQ(Split("a\nb"), Words{"a\nb"});  // only space and tab separate
}

TEST(CmdlineSplit, QuotesGroupAndDisappear) {
  EXPECT_EQ(Split("\"two words\" x"), (Words{"two words", "x"}));
  EXPECT_EQ(Split("pre\"mid dle\"post"), Words{"premid dlepost"});
  EXPECT_EQ(Split("\"\" x \"\""), (Words{"", "x", ""}));
  EXPECT_EQ(Split("\"open group to the end"), Words{"open group to the end"});
  EXPECT_EQ(Split("\"say \"\"hi\"\" now\""), Words{"say \"hi\" now"});
}

TEST(CmdlineSplit, BackslashRuns) {
  EXPECT_EQ(Split(R"(a\b c\\d)"), (Words{R"(a\b)", R"(c\\d)"}));
  EXPECT_EQ(Split(R"(a\"b)"), Words{"a\"b"});
  EXPECT_EQ(Split(R"(a\\"b c")"), Words{R"(a\b c)"});
  EXPECT_EQ(Split(R"(a\\\"b c)"), (Words{R"(a\"b)", "c"}));
  EXPECT_EQ(Split(R"("end\\" x)"), (Words{R"(end\)", "x"}));
  EXPECT_EQ(Split(R"(tail\)"), Words{R"(tail\)"});
}

TEST(CmdlineSplit, WordLimit) {
  std::string line;
  for (int i = 0; i < 25; ++i) {
    line += std::to_string(i);
    line += " ";
  }
  const Words words = Split(line);
  ASSERT_EQ(words.size(), 20u);
  EXPECT_EQ(words.back(), "19");
  EXPECT_EQ(Split("a b c", 2), (Words{"a", "b"}));
  EXPECT_EQ(Split("a b", 0), Words{});
}

TEST(CmdlineSplit, KeptAsWrittenWithoutUnquoting) {
  EXPECT_EQ(Split(R"("two words" a\"b c\\"d e")", 20, 0),
            (Words{"\"two words\"", R"(a\"b)", R"(c\\"d e")"}));
}

}  // namespace
