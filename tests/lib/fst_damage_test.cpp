// Damaged and unusual transducer files: every table offset and count is checked against
// the loaded bytes, absent tables load, and no damage makes the loader read outside
// what it loaded (run under the sanitizers) or leave a file open.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <dirent.h>
#endif

#include "support/fsm_fixtures.h"

namespace vtm {
namespace {

using compiler::PutU16;
using compiler::PutU32;
using compiler::PutU8;
namespace ho = header_offset;
using test::LayOut;
using test::LoadCode;

// A description that uses every table: tags, two subnets, both state tables, an
// extra char map record.
compiler::TransducerSpec RichSpec() {
  compiler::TransducerSpec spec = test::BasicSpec();
  spec.copyright = "Rich\r\nfile";
  spec.named_tables.push_back({"TAGMODE", {0, 0, 0, 9}, {{"Noun", 0x4000}, {"Pl", 0x4401}}});
  spec.subnets.push_back({3, 64, 20, 5, {}});
  spec.functions = {1, kNoSubnet, 0};
  spec.near_states = {0, 1, 2};
  spec.far_states = {3, 0};
  spec.char_map.extra_records = 1;
  spec.network = {16, 0, 16, 17, 0};
  return spec;
}

#if defined(_WIN32)
// The runtime hands out the lowest free descriptor: a file left open moves it up.
int CountOpenFiles() {
  int fd = _open("NUL", _O_RDONLY);
  if (fd >= 0) _close(fd);
  return fd;
}
#else
int CountOpenFiles() {
  int n = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  while (readdir(dir) != nullptr) ++n;
  closedir(dir);
  return n;
}
#endif

TEST(FstDamage, BadOffsetsAndCountsAreBadFiles) {
  compiler::Layout l;
  const std::vector<uint8_t> good = LayOut(RichSpec(), &l);
  ASSERT_EQ(LoadCode(good), 0);
  const uint16_t end = l.network;  // first offset past the table area
  struct Case {
    const char* what;
    int offset, width;
    uint32_t value;
  };
  const Case cases[] = {
      {"header size", ho::kHeaderSize, 1, 90},
      {"network offset inside header", ho::kNetwork, 2, 50},
      {"char map offset 0", ho::kCharMap, 2, 0},
      {"char map past the area", ho::kCharMap, 2, end - 8u},
      {"char map first above last", l.char_map + 5, 1, 'z'},
      {"char map entries past the area", l.char_map + 8, 2, end - 1u},
      {"symbol names size past the area", l.symbol_names, 2, 0xFFF0},
      {"symbol names offset in header", ho::kSymbolNames, 2, 10},
      {"symbol chars count", l.symbol_chars - 2, 2, 0x7FFF},
      {"named directory count", l.named_table_dir - 2, 2, 0x7FFF},
      {"named record offset", l.named_table_dir, 2, end},
      {"named keys count", l.named_table_records[0] + 6, 2, 0x7FFF},
      {"named members offset", l.named_table_records[1] + 2, 2, 93},
      {"function table count", l.function_table, 1, 255},
      {"function subnet index", l.function_table + 1, 1, 2},
      {"subnet count", ho::kSubnetCount, 1, 200},
      {"subnet descriptor offset", l.subnet_dir, 2, end - 10u},
      {"subnet start state", l.subnet_descriptors[1] + 8, 4, 5},
      {"copyright offset in header", ho::kCopyright, 1, 40},
      {"near table offset", ho::kNearTable, 2, end + 1u},
      {"state ref width", ho::kStateRefWidth, 1, 4},
      {"reference bases not ascending", ho::kFarRefBase, 1, 13},
      {"reference bases not ascending", ho::kAbsRefBase, 1, 17},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    if (c.width == 1) PutU8(bytes, c.offset, static_cast<uint8_t>(c.value));
    if (c.width == 2) PutU16(bytes, c.offset, static_cast<uint16_t>(c.value));
    if (c.width == 4) PutU32(bytes, c.offset, c.value);
    EXPECT_EQ(LoadCode(bytes), VTM_ERR_BAD_FILE) << c.what;
  }

  // A copyright text that runs past the end of a small table area.
  compiler::TransducerSpec small;
  small.char_map.entries = {4};
  std::vector<uint8_t> bytes = LayOut(small, &l);
  ASSERT_LT(l.network, 92 + 200);
  ASSERT_EQ(LoadCode(bytes), 0);
  PutU8(bytes, l.copyright, 200);
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_BAD_FILE);
}

TEST(FstDamage, AbsentTablesLoad) {
  std::vector<uint8_t> bytes = LayOut(RichSpec());
  for (int field : {ho::kNearTable, ho::kFarTable, ho::kNamedTableDir, ho::kSymbolChars,
                    ho::kFunctionTable, ho::kSymbolNames}) {
    PutU16(bytes, field, 0);
  }
  PutU8(bytes, ho::kCopyright, 0);
  // Reference bases of 0: no state references at all.
  for (int field : {ho::kNearRefBase, ho::kFarRefBase, ho::kAbsRefBase, ho::kLabelBase}) {
    PutU8(bytes, field, 0);
  }
  test::FsmPtr fsm = test::Open(test::WriteBytes("absent.fst", bytes));
  ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
  char text[8];
  EXPECT_EQ(vtm_fsm_copyright(text, 8, fsm.get()), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(vtm_fsm_version(text, 8, fsm.get()), 0);
  EXPECT_STREQ(text, "1.0");
  EXPECT_EQ(vtm_fsm_capabilities(fsm.get()), 0u);
  EXPECT_EQ(fsm->near_count, 0u);
  EXPECT_EQ(fsm->symbol_chars.count, 0u);
  EXPECT_EQ(fsm->tb_code, 1);
  EXPECT_EQ(fsm->tag_code_by_name, nullptr);
  EXPECT_EQ(FsmSymbolText(fsm.get(), 1, text, 8), VTM_ERR_INVALID_NUMBER);
}

// The decoded state tables that the walks read hold exactly the file's usable entries:
// one slot per one-byte reference byte (kNoLocation for a byte that reaches no usable
// entry), then the far entries.
void ExpectDecodedStates(const VtmFsmRec* fsm) {
  const uint32_t width = fsm->header.state_ref_width;
  auto entry = [&](const uint8_t* table, uint32_t i) {
    return width == 2 ? Be16(table + i * width) : Be24(table + i * width);
  };
  const uint32_t near_base = fsm->header.near_ref_base;
  for (uint32_t b = 0; b < kNearSlots; ++b) {
    const bool usable = b >= near_base && b < near_base + fsm->near_count;
    EXPECT_EQ(fsm->state_locations[b],
              usable ? entry(fsm->near_states, b - near_base) : kNoLocation)
        << "reference byte " << b;
  }
  for (uint32_t i = 0; i < fsm->far_count; ++i) {
    EXPECT_EQ(fsm->state_locations[kNearSlots + i], entry(fsm->far_states, i)) << "far " << i;
  }
}

TEST(FstDamage, StateTablesHoldOnlyUsableEntries) {
  compiler::TransducerSpec spec = RichSpec();
  test::FsmPtr fsm = test::Open(test::WriteSpec("states.fst", spec));
  ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
  // Near table: 3 entries written, all inside the 5-byte network; the far table's
  // first entry follows and is a usable location too (the length is not stored), but
  // one-byte references reach only far_ref_base - near_ref_base = 7 entries.
  EXPECT_GE(fsm->near_count, 3u);
  EXPECT_LE(fsm->near_count, 7u);
  EXPECT_EQ(Be24(fsm->near_states + 3 * 2), 2u);
  EXPECT_GE(fsm->far_count, 2u);
  for (uint32_t i = 0; i < fsm->far_count; ++i) {
    EXPECT_LT(Be24(fsm->far_states + 3 * i), fsm->header.network_size);
  }
  ExpectDecodedStates(fsm.get());

  // An entry outside the network ends the usable run.
  spec.near_states = {0, 1, 99, 2};
  fsm = test::Open(test::WriteSpec("states.fst", spec));
  ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
  EXPECT_EQ(fsm->near_count, 2u);
  uint32_t location = 0;
  EXPECT_TRUE(NearState(fsm.get(), 1, &location));
  EXPECT_EQ(location, 1u);
  EXPECT_FALSE(NearState(fsm.get(), 2, &location)) << "the entry past the network";
  EXPECT_TRUE(FarState(fsm.get(), 0, &location));
  ExpectDecodedStates(fsm.get());

  // Two-byte entries.
  spec.header.state_ref_width = 2;
  spec.near_states = {4, 3, 2, 1, 0, 4, 4, 4, 4};
  fsm = test::Open(test::WriteSpec("states.fst", spec));
  ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
  EXPECT_EQ(fsm->near_count, 7u) << "capped by the one-byte reference range";
  EXPECT_EQ(Be16(fsm->near_states + 2), 3u);
  ExpectDecodedStates(fsm.get());
}

TEST(FstDamage, WideCharMap) {
  compiler::TransducerSpec spec = test::BasicSpec();
  spec.char_map.wide = true;
  spec.char_map.entries = {0x4001, 0, 0x48FF};
  test::FsmPtr fsm = test::Open(test::WriteSpec("wide.fst", spec));
  ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
  EXPECT_TRUE(fsm->header.net_flags & kNetWideCharMap);
  EXPECT_EQ(Be16(fsm->char_codes), 0x4001);
  EXPECT_EQ(Be16(fsm->char_codes + 4), 0x48FF);

  compiler::Layout l;
  std::vector<uint8_t> bytes = LayOut(spec, &l);
  // Entries of 16 bits need twice the room: cut the entries to the last byte of the area.
  PutU16(bytes, l.char_map + 8, static_cast<uint16_t>(l.network - 5));
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_BAD_FILE);
  PutU8(bytes, ho::kNetFlags, 0);  // the same offset holds three 8-bit entries
  EXPECT_EQ(LoadCode(bytes), 0);
}

TEST(FstDamage, AnyByteChangeOrCutIsSafe) {
  const std::vector<uint8_t> good = LayOut(RichSpec());
  const int open_before = CountOpenFiles();
  for (std::size_t i = 0; i < good.size(); ++i) {
    for (uint8_t v : {uint8_t{0x00}, uint8_t{0xFF}}) {
      std::vector<uint8_t> bytes = good;
      bytes[i] = v;
      test::FsmPtr fsm = test::Open(test::WriteBytes("mutant.fst", bytes));
      int code = vtm_object_error_code(fsm.get());
      EXPECT_TRUE(code == 0 || code == VTM_ERR_BAD_FILE || code == VTM_ERR_NO_MEMORY)
          << "byte " << i << " = " << int(v) << ": " << code;
      if (code == 0) {
        char text[300];
        vtm_fsm_copyright(text, sizeof text, fsm.get());
        vtm_fsm_version(text, sizeof text, fsm.get());
        uint16_t codes[8];
        FsmListTags(fsm.get(), codes, 8, text, sizeof text);
        FsmTagName(fsm.get(), 0x4000);
      }
    }
  }
  for (std::size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_NE(LoadCode(bytes), 0) << "cut to " << n << " bytes";
  }
  EXPECT_EQ(CountOpenFiles(), open_before) << "a file was left open";
}

}  // namespace
}  // namespace vtm
