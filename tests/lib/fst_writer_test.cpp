// The transducer file writer: big-endian layout of what it writes, what it refuses,
// and the round trip through the loader.
#include <gtest/gtest.h>

#include "support/fsm_fixtures.h"

namespace vtm {
namespace {

namespace ho = header_offset;

uint32_t ReadBe(const std::vector<uint8_t>& b, std::size_t at, int width) {
  uint32_t v = 0;
  for (int i = 0; i < width; ++i) v = v << 8 | b.at(at + i);
  return v;
}

TEST(FstWriter, HeaderAndTablesAreBigEndian) {
  compiler::TransducerSpec spec = test::BasicSpec();
  spec.header.creation_date = 0xA1B2C3D4u;
  spec.network.assign(0x010203, 16);
  spec.subnets[0] = {0x00010002u, 64, 20, 0x1234, {}};
  compiler::Layout l;
  std::vector<uint8_t> b = test::LayOut(spec, &l);
  EXPECT_EQ(b[ho::kHeaderSize], 92);
  EXPECT_EQ(b[ho::kFormatVersion], 1);
  EXPECT_EQ(ReadBe(b, ho::kCreationDate, 4), 0xA1B2C3D4u);
  EXPECT_EQ(ReadBe(b, ho::kNetworkSize, 4), 0x010203u);
  EXPECT_EQ(ReadBe(b, ho::kNetwork, 2), l.network);
  EXPECT_EQ(b.size(), l.network + 0x010203u);
  EXPECT_EQ(b[ho::kCharMapCount], 1);
  EXPECT_EQ(b[ho::kCopyright], 92);
  EXPECT_EQ(b[93], 'T') << "copyright text after its length byte";
  EXPECT_EQ(ReadBe(b, l.subnet_descriptors[0] + 8, 4), 0x00010002u);
  EXPECT_EQ(ReadBe(b, l.subnet_descriptors[0] + 34, 2), 0x1234u);
  EXPECT_EQ(ReadBe(b, l.symbol_names, 2), ReadBe(b, l.symbol_names, 2) & ~1u) << "even size";
  EXPECT_EQ(ReadBe(b, l.symbol_chars - 2, 2), 4u) << "count before the array";

  test::FsmPtr fsm = test::Open(test::WriteBytes("writer_be.fst", b));
  ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
  EXPECT_EQ(fsm->header.creation_date, 0xA1B2C3D4u);
  EXPECT_EQ(fsm->subnets[0].start_state, 0x00010002u);
  EXPECT_EQ(fsm->subnets[0].initial_flag_state, 0x1234);
  EXPECT_EQ(fsm->header.network_size, 0x010203u);
}

TEST(FstWriter, SymbolIndexesAndInterning) {
  std::vector<std::string> symbols = {"ab", "c"};
  EXPECT_EQ(compiler::SymbolIndex(symbols, 0), 1);
  EXPECT_EQ(compiler::SymbolIndex(symbols, 1), 4);
  EXPECT_EQ(compiler::InternSymbol(symbols, "c"), 4);
  EXPECT_EQ(compiler::InternSymbol(symbols, "new"), 6);
  EXPECT_EQ(symbols.size(), 3u);

  compiler::TransducerSpec spec = test::BasicSpec();
  compiler::Layout l;
  test::LayOut(spec, &l);
  ASSERT_EQ(l.symbols.size(), l.symbol_indexes.size());
  EXPECT_EQ(l.symbols[0], "a") << "given symbols keep their places";
  EXPECT_EQ(l.symbols[3], "*DIACRITICS*") << "table names and keys are added after";
}

TEST(FstWriter, RefusesWhatTheFormatCannotHold) {
  std::vector<uint8_t> out;
  std::string error;
  auto refused = [&](const compiler::TransducerSpec& spec) {
    error.clear();
    return !compiler::LayOutTransducer(spec, &out, &error) && !error.empty();
  };
  compiler::TransducerSpec spec = test::BasicSpec();
  spec.copyright.assign(256, 'x');
  EXPECT_TRUE(refused(spec)) << "copyright over 255 bytes";
  spec = test::BasicSpec();
  spec.version.assign(70000, '1');
  EXPECT_TRUE(refused(spec)) << "table area beyond 16-bit offsets";
  spec = test::BasicSpec();
  spec.char_map.entries[0] = 0x100;
  EXPECT_TRUE(refused(spec)) << "8-bit entry above 255";
  spec.char_map.wide = true;
  EXPECT_FALSE(refused(spec)) << error;
  spec = test::BasicSpec();
  spec.header.state_ref_width = 2;
  spec.near_states = {0x10000};
  EXPECT_TRUE(refused(spec)) << "location beyond 2 bytes";
  spec.header.state_ref_width = 4;
  EXPECT_TRUE(refused(spec)) << "width 4";
  spec = test::BasicSpec();
  spec.char_map.first = 'z';
  EXPECT_TRUE(refused(spec)) << "first above last";
  spec = test::BasicSpec();
  spec.subnets.resize(256);
  EXPECT_TRUE(refused(spec)) << "256 subnets";
  EXPECT_FALSE(compiler::WriteTransducerFile("/nonexistent/dir/x.fst", test::BasicSpec(), &error));
}

}  // namespace
}  // namespace vtm
