// Host name taken from "ipconfig /all" output: which line is used and how it is cut.
#include "ipconfig_host_name.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// Feeds `text` as command output; also reports what was left unread.
std::optional<std::string> HostNameOf(const std::string& text, std::string* rest = nullptr) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  std::fputs(text.c_str(), file);
  std::rewind(file);
  auto result = corvane::HostNameFromIpconfig(file);
  if (rest != nullptr) {
    rest->clear();
    for (int c; (c = std::fgetc(file)) != EOF;) *rest += static_cast<char>(c);
  }
  std::fclose(file);
  return result;
}

TEST(IpconfigHostName, TakesTheFourthLinePastColonAndBlankAndReadsNoFurther) {
  std::string rest;
  const auto name = HostNameOf(
      "\r\nWindows IP Configuration\n\n   Host Name . . . : web-01\nPrimary: other\n", &rest);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(*name, "web-01\n");
  EXPECT_EQ(rest, "Primary: other\n");
}

TEST(IpconfigHostName, ShortOutputUsesTheLastLineRead) {
  EXPECT_EQ(HostNameOf("a\nName: box\n"), std::optional<std::string>("box\n"));
  EXPECT_EQ(HostNameOf("Name: box"), std::optional<std::string>("box"));
}

TEST(IpconfigHostName, NothingWithoutOutputOrColon) {
  EXPECT_FALSE(HostNameOf("").has_value());
  EXPECT_FALSE(HostNameOf("1\n2\n3\nno colon here\nName: late\n").has_value());
}

TEST(IpconfigHostName, ColonAtTheEndGivesEmptyTextNotBytesPastTheLine) {
  EXPECT_EQ(HostNameOf("1\n2\n3\nName:"), std::optional<std::string>(""));
  EXPECT_EQ(HostNameOf("1\n2\n3\nName:\n"), std::optional<std::string>(""));
  EXPECT_EQ(HostNameOf("1\n2\n3\nName:x\n"), std::optional<std::string>("\n"));
}

TEST(IpconfigHostName, OverlongLineIsReadInPieces) {
  // A 1500-byte line counts as two lines of the four; the fourth read is the second piece of
  // the long line.
  const std::string long_line = std::string(1023, 'a') + std::string(477, 'b') + "\n";
  EXPECT_FALSE(HostNameOf("x\ny\n" + long_line + "Host: h\n").has_value());
  EXPECT_EQ(HostNameOf("x\ny\n" + std::string(1023, 'c') + ": h\n"),
            std::optional<std::string>("h\n"));
}

}  // namespace
