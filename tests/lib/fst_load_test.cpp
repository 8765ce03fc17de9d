// Loading transducer files: the valid layout, refusals with their codes, and checks of
// every table against the bytes that were read.
#include <gtest/gtest.h>

#include "support/fsm_fixtures.h"

namespace vtm {
namespace {

using compiler::PutU16;
using compiler::PutU32;
using compiler::PutU8;
namespace ho = header_offset;
using test::BasicSpec;
using test::LayOut;
using test::LoadCode;

TEST(FstLoad, BasicFileLoadsWithItsTables) {
  compiler::Layout layout;
  test::FsmPtr fsm = test::Open(test::WriteSpec("basic.fst", BasicSpec(), &layout));
  ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
  EXPECT_EQ(fsm->header.header_size, 92);
  EXPECT_EQ(fsm->header.network_offset, layout.network);
  EXPECT_EQ(fsm->table_size, layout.network - 92u);
  EXPECT_EQ(fsm->header.network_size, 2u);
  EXPECT_EQ(fsm->network[0], 16);
  EXPECT_EQ(fsm->char_first, 'a');
  EXPECT_EQ(fsm->char_last, 'c');
  EXPECT_EQ(fsm->char_codes[1], 68);
  EXPECT_EQ(fsm->symbol_chars.count, 4u);
  EXPECT_EQ(fsm->symbol_chars[2], 'b');
  ASSERT_NE(fsm->subnets, nullptr);
  EXPECT_EQ(fsm->subnets[0].first_char_label, 64);
  EXPECT_EQ(fsm->subnets[0].instr_label, 20);
  EXPECT_EQ(FsmFunctionSubnet(fsm.get(), 12), 0);
  EXPECT_EQ(fsm->tb_code, 0x14);
  EXPECT_EQ(fsm->eos_code, 0x18);
  EXPECT_EQ(fsm->tagsep_code, 0);
  EXPECT_EQ(fsm->eof_code, 1);
  EXPECT_EQ(fsm->tag_name_by_code, nullptr);
  EXPECT_EQ(fsm->tagmode_members.data, nullptr);
}

TEST(FstLoad, RefusalsKeepTheirOwnCodes) {
  std::vector<uint8_t> good = LayOut(BasicSpec());
  EXPECT_EQ(LoadCode(good), 0);

  std::vector<uint8_t> bytes(good.begin(), good.begin() + 91);
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_BAD_FILE) << "short header";
  EXPECT_EQ(LoadCode({}), VTM_ERR_BAD_FILE) << "empty file";

  bytes = good;
  PutU8(bytes, ho::kFormatVersion, 2);
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_BAD_FILE) << "format version 2";
  bytes.resize(95);  // even with a cut table area, the version is tested first
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_BAD_FILE);

  bytes = good;
  PutU8(bytes, ho::kCharMapCount, 0);
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_BAD_FILE) << "no char map";

  bytes = good;
  bytes.pop_back();
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_NO_MEMORY) << "cut inside the network";
  bytes.resize(100);
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_NO_MEMORY) << "cut inside the table area";
  bytes = good;
  PutU32(bytes, ho::kNetworkSize, 0xFFFFFFF0u);
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_NO_MEMORY) << "network size beyond the file";
  PutU8(bytes, ho::kCharMapCount, 0);
  EXPECT_EQ(LoadCode(bytes), VTM_ERR_NO_MEMORY) << "reading fails before the char map test";

  bytes = good;
  bytes.push_back(0xEE);  // bytes beyond the network are not read
  EXPECT_EQ(LoadCode(bytes), 0);
}

TEST(FstLoad, OpenFailures) {
  EXPECT_EQ(vtm_object_error_code(vtm_make_fsm(nullptr)), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_object_error_code(vtmOpenLexicalTransducer(nullptr)), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_object_error_code(vtm_make_fsm("/nonexistent/x.fst")), VTM_ERR_FILE_OPEN);
  EXPECT_EQ(vtm_object_error_code(vtm_make_fsm(VTM_TEST_TMPDIR)), VTM_ERR_FILE_OPEN);
  vtm_free_fsm(nullptr);
  vtm_free_fsm(static_cast<VtmFsm>(vtm_error_object(VTM_ERR_BAD_FILE)));
  vtmCloseLexicalTransducer(nullptr);
}

}  // namespace
}  // namespace vtm
