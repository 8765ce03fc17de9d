// Client dictionary entry files: groups, skipped lines, line cuts, long lines, the
// entry-before-tag failure, and files that cannot be read.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "dict/client_dict.h"
#include "vtmrt.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

using namespace std::string_literals;

struct Dict {
  VtmClientDict d = vtm_make_client_dict(0, 0);
  ~Dict() { vtm_free_client_dict(d); }
};

// Writes `bytes` to a file named after the running test and returns its path.
std::string WriteFile(const std::string& bytes, const char* suffix = "") {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string path = std::string(VTM_TEST_TMPDIR) + "/dict_" + info->test_suite_name() + "_" +
                     info->name() + suffix + ".txt";
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

int Load(VtmClientDict d, const std::string& bytes) {
  return vtm_load_entries(WriteFile(bytes).c_str(), 0, d);
}

// All texts of `word` in whole-value mode, newest first.
std::vector<std::string> Values(VtmClientDict d, const char* word) {
  char out[4096];
  int n = vtm_client_dict_lookup(word, nullptr, out, sizeof out, 6, 0, d);
  std::vector<std::string> texts;
  for (int i = 0, at = 0; i < n; ++i, at += static_cast<int>(texts.back().size()) + 1) {
    texts.emplace_back(out + at);
  }
  return texts;
}

using Texts = std::vector<std::string>;

TEST(ClientDictFile, GroupsAndTwoFieldLines) {
  Dict dict;
  EXPECT_EQ(Load(dict.d,
                 "; tag names\n[html-para]\np\ndiv\n[html-sent]\np\nbr\tbr[html-tag-keep]\n"
                 "a\tmid\tlast\nempty\t\n\xe9t\xe9\tsummer\n[]\nx\n[t]\nno-eol"),
            9);
  EXPECT_EQ(Values(dict.d, "p"), (Texts{"[html-sent]", "[html-para]"}));
  EXPECT_EQ(Values(dict.d, "div"), (Texts{"[html-para]"}));
  EXPECT_EQ(Values(dict.d, "br"), (Texts{"br[html-tag-keep]"}));
  EXPECT_EQ(Values(dict.d, "a"), (Texts{"last"}));
  EXPECT_EQ(Values(dict.d, "empty"), (Texts{""}));
  EXPECT_EQ(Values(dict.d, "\xe9t\xe9"), (Texts{"summer"}));
  EXPECT_EQ(Values(dict.d, "x"), (Texts{"[]"}));
  EXPECT_EQ(Values(dict.d, "no-eol"), (Texts{"[t]"}));
  // Each call returns its own count.
  EXPECT_EQ(Load(dict.d, "[t]\nq\n"), 1);
  EXPECT_EQ(dict.d->entry_count, 10u);
}

TEST(ClientDictFile, SkippedLinesAndCuts) {
  Dict dict;
  EXPECT_EQ(Load(dict.d,
                 "[t]\r\n\r\n  spaced\n\tlead\tx\n\x01"
                 "ctl\n;c\tx\nkey\r\nk\tv\r\n[u]\n"
                 "cr\rjunk\tz\nnul\0rest\tz\n[a]b\n[\n"s),
            6);
  EXPECT_EQ(Values(dict.d, "key"), (Texts{"[t]"}));
  EXPECT_EQ(Values(dict.d, "k"), (Texts{"v"}));
  EXPECT_EQ(Values(dict.d, "cr"), (Texts{"[u]"}));
  EXPECT_EQ(Values(dict.d, "nul"), (Texts{"[u]"}));
  EXPECT_EQ(Values(dict.d, "[a]b"), (Texts{"[u]"}));
  EXPECT_EQ(Values(dict.d, "["), (Texts{"[u]"}));
  for (const char* skipped : {"spaced", "  spaced", "lead",
                              "\x01"
                              "ctl",
                              ";c", ""}) {
    EXPECT_EQ(Values(dict.d, skipped), Texts{}) << skipped;
  }
}

TEST(ClientDictFile, EntryBeforeTagKeepsEarlierEntries) {
  Dict dict;
  EXPECT_EQ(Load(dict.d, "; only comments first\n\nword\n[t]\nlater\n"),
            VTM_ERR_DICT_ENTRY_BEFORE_TAG);
  EXPECT_EQ(dict.d->entry_count, 0u);
  EXPECT_EQ(Load(dict.d, "[t]\nkey1\nk2\tv2\nkey3\n[u]\nkey4\n"), VTM_ERR_DICT_ENTRY_BEFORE_TAG);
  EXPECT_EQ(dict.d->entry_count, 2u);
  EXPECT_EQ(Values(dict.d, "key1"), (Texts{"[t]"}));
  EXPECT_EQ(Values(dict.d, "k2"), (Texts{"v2"}));
  EXPECT_EQ(Values(dict.d, "key3"), Texts{});
}

TEST(ClientDictFile, LongLinesAreReadInPieces) {
  Dict dict;
  const std::string piece(1023, 'a');
  // 1500 bytes: pieces of 1023 and 477; exactly 1023 bytes: the LF makes an empty piece.
  EXPECT_EQ(Load(dict.d, "[t]\n" + piece + std::string(477, 'b') + "\n" + std::string(1023, 'c') +
                             "\n" + std::string(1022, 'd') + "\n"),
            4);
  EXPECT_EQ(Values(dict.d, piece.c_str()), (Texts{"[t]"}));
  EXPECT_EQ(Values(dict.d, std::string(477, 'b').c_str()), (Texts{"[t]"}));
  EXPECT_EQ(Values(dict.d, std::string(1023, 'c').c_str()), (Texts{"[t]"}));
  // A long two-field line ends the group, so its second piece is a key without a group.
  EXPECT_EQ(Load(dict.d, "[t]\nk\t" + std::string(1100, 'v') + "\n"),
            VTM_ERR_DICT_ENTRY_BEFORE_TAG);
  EXPECT_EQ(Values(dict.d, "k"), (Texts{std::string(1021, 'v')}));
  // A tag specification longer than a piece is cut and so is no tag specification.
  EXPECT_EQ(Load(dict.d, "[" + std::string(1100, 't') + "]\n"), VTM_ERR_DICT_ENTRY_BEFORE_TAG);
}

TEST(ClientDictFile, UnreadableFilesAndGarbage) {
  Dict dict;
  const std::string dir = VTM_TEST_TMPDIR;
  EXPECT_EQ(vtm_load_entries((dir + "/no-such-file.txt").c_str(), 0, dict.d), VTM_ERR_FILE_OPEN);
  EXPECT_EQ(vtm_load_entries(dir.c_str(), 0, dict.d), VTM_ERR_FILE_OPEN);
  EXPECT_EQ(vtm_load_entries("", 0, dict.d), VTM_ERR_FILE_OPEN);
  EXPECT_EQ(Load(dict.d, ""), 0);

  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    std::string bytes(1 + random() % 5000, '\0');
    for (char& c : bytes)
      c = static_cast<char>(random() % 4 == 0 ? "\t\n\r[];"[random() % 6] : random() % 256);
    int n = Load(dict.d, "[g]\n" + bytes);
    EXPECT_TRUE(n >= 0 || n == VTM_ERR_DICT_ENTRY_BEFORE_TAG) << n;
  }
}

#if !defined(_WIN32)
TEST(ClientDictFile, FileLockedForWritingIsRefused) {
  Dict dict;
  std::string path = WriteFile("[t]\nk\n");
  int fd = open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  EXPECT_EQ(vtm_load_entries(path.c_str(), 0, dict.d), VTM_ERR_FILE_OPEN);
  close(fd);
  EXPECT_EQ(vtm_load_entries(path.c_str(), 0, dict.d), 1);
}
#endif

}  // namespace
