// Symbols, named tables, special codes and the tag tables built from "TAGMODE".
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "fst/fsm_tags.h"
#include "support/fsm_fixtures.h"

namespace vtm {
namespace {

test::FsmPtr OpenSpec(const compiler::TransducerSpec& spec, const char* name = "tags.fst") {
  test::FsmPtr fsm = test::Open(test::WriteSpec(name, spec));
  EXPECT_EQ(vtm_object_error_code(fsm.get()), 0);
  return fsm;
}

compiler::TransducerSpec TagSpec(std::vector<std::pair<std::string, uint16_t>> tags) {
  compiler::TransducerSpec spec = test::BasicSpec();
  spec.named_tables.push_back({"TAGMODE", {0, 0, 0, 7}, std::move(tags)});
  return spec;
}

uint16_t TagCode(const VtmFsmRec* fsm, const char* name) {
  return FsmTagCode(fsm, name, std::strlen(name));
}

TEST(FstTags, NameHashIsTheElfHashOverSignedBytes) {
  EXPECT_EQ(TagNameHash("", 0), 0u);
  EXPECT_EQ(TagNameHash("A", 1), 65u);
  EXPECT_EQ(TagNameHash("AB", 2), 65u * 16 + 66);
  // Bytes above 0x7F count as negative values.
  EXPECT_EQ(TagNameHash("\xFF", 1), 0xFFFFFFFFu ^ 0xF0000000u ^ 0xF0u);
  // Long names push bits into the top nibble, which is folded back and cleared.
  EXPECT_EQ(TagNameHash("abcdefghij", 10), 0x0ABAA66Au);
  EXPECT_EQ(TagNameHash("+Noun", 5), 0x003056BEu);
  EXPECT_EQ(TagNameHash("\xE9t\xE9", 3), 0x0FFF2FD9u);
  EXPECT_EQ(TagCodeHome(0x1400), 0x050u);
  EXPECT_EQ(TagCodeHome(0xFFFF), 0x0FBu);
  EXPECT_EQ(TagCodeHome(0x0401), 0x011u);
}

TEST(FstTags, TablesMapNamesAndCodesBothWays) {
  test::FsmPtr fsm = OpenSpec(TagSpec({{"Noun", 0x4000}, {"Verb", 0x4401}, {"+Pl", 0x4800}}));
  ASSERT_NE(fsm->tag_name_by_code, nullptr);
  ASSERT_NE(fsm->tag_code_by_name, nullptr);
  EXPECT_EQ(fsm->tagmode_members.count, 4u);
  EXPECT_EQ(fsm->tagmode_members[3], 7);
  EXPECT_EQ(TagCode(fsm.get(), "Noun"), 0x4000);
  EXPECT_EQ(TagCode(fsm.get(), "Verb"), 0x4401);
  EXPECT_EQ(TagCode(fsm.get(), "+Pl"), 0x4800);
  EXPECT_EQ(TagCode(fsm.get(), "Nou"), 0);
  EXPECT_EQ(TagCode(fsm.get(), "Nouns"), 0);
  EXPECT_EQ(FsmTagCode(fsm.get(), "NounX", 4), 0x4000) << "the length bounds the name";
  EXPECT_STREQ(FsmTagName(fsm.get(), 0x4401), "Verb");
  EXPECT_STREQ(FsmTagName(fsm.get(), 0x4800), "+Pl");
  EXPECT_EQ(FsmTagName(fsm.get(), 0x4402), nullptr);
  EXPECT_EQ(FsmTagName(fsm.get(), 0), nullptr);
}

TEST(FstTags, CollidingEntriesProbeToTheNextSlot) {
  // Find two distinct codes with one home slot, and two names with one home slot.
  uint16_t c1 = 0x0005, c2 = 0;
  for (uint32_t k = 6; k < 0x10000 && c2 == 0; ++k) {
    if (TagCodeHome(static_cast<uint16_t>(k)) == TagCodeHome(c1)) c2 = static_cast<uint16_t>(k);
  }
  ASSERT_NE(c2, 0);
  std::string n1 = "T0", n2;
  for (int i = 1; i < 100000 && n2.empty(); ++i) {
    char n[16];
    std::snprintf(n, sizeof n, "T%d", i);
    if (TagNameHash(n, std::strlen(n)) % 1009 == TagNameHash(n1.data(), n1.size()) % 1009) {
      n2 = n;
    }
  }
  ASSERT_FALSE(n2.empty());
  test::FsmPtr fsm = OpenSpec(TagSpec({{n1, c1}, {n2, c2}}));
  EXPECT_EQ(TagCode(fsm.get(), n1.c_str()), c1);
  EXPECT_EQ(TagCode(fsm.get(), n2.c_str()), c2);
  EXPECT_STREQ(FsmTagName(fsm.get(), c1), n1.c_str());
  EXPECT_STREQ(FsmTagName(fsm.get(), c2), n2.c_str());
  uint32_t home = TagCodeHome(c1);
  EXPECT_EQ(fsm->tag_name_by_code[home].code, c1);
  EXPECT_EQ(fsm->tag_name_by_code[(home + 1) % 1024].code, c2);
}

TEST(FstTags, RepeatedNameOrCodeOverwritesItsSlot) {
  test::FsmPtr fsm = OpenSpec(TagSpec({{"A", 0x4000}, {"B", 0x4000}, {"A", 0x4400}}));
  EXPECT_EQ(TagCode(fsm.get(), "A"), 0x4400) << "later entry with the same name wins";
  EXPECT_STREQ(FsmTagName(fsm.get(), 0x4000), "B") << "later entry with the same code wins";
  EXPECT_STREQ(FsmTagName(fsm.get(), 0x4400), "A");
}

TEST(FstTags, ListTagsInTableOrder) {
  test::FsmPtr fsm = OpenSpec(TagSpec({{"Noun", 0x4000}, {"V", 0x4401}}));
  uint16_t codes[4] = {};
  char text[32];
  ASSERT_EQ(FsmListTags(fsm.get(), codes, 4, text, sizeof text), 2);
  EXPECT_EQ(std::memcmp(text, "Noun\0V\0", 7), 0);
  EXPECT_EQ(codes[0], 0x4000);
  EXPECT_EQ(codes[1], 0x4401);
  EXPECT_EQ(FsmListTags(fsm.get(), codes, 2, text, 7), 2) << "exact fit";
  EXPECT_EQ(FsmListTags(fsm.get(), codes, 2, text, 6), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(FsmListTags(fsm.get(), codes, 1, text, 32), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(FsmListTags(fsm.get(), codes, 0, text, 32), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(FsmListTags(fsm.get(), nullptr, 4, nullptr, 32), VTM_ERR_OUTPUT_TOO_LONG);
}

TEST(FstTags, TransducerWithoutTagmode) {
  test::FsmPtr fsm = OpenSpec(test::BasicSpec());
  uint16_t codes[2];
  char text[8];
  EXPECT_EQ(FsmListTags(fsm.get(), codes, 2, text, 8), 0);
  EXPECT_EQ(FsmListTags(fsm.get(), nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(TagCode(fsm.get(), "Noun"), 0);
  EXPECT_EQ(FsmTagName(fsm.get(), 0x4000), nullptr);
  EXPECT_FALSE(FsmFindNamedTable(fsm.get(), "TAGMODE", nullptr));

  compiler::TransducerSpec spec = TagSpec({});  // an empty TAGMODE table
  fsm = OpenSpec(spec);
  EXPECT_NE(fsm->tag_code_by_name, nullptr);
  EXPECT_EQ(FsmListTags(fsm.get(), codes, 2, text, 8), 0);
}

TEST(FstTags, TagmodeKeyNamingNoSymbolIsRefused) {
  compiler::Layout layout;
  std::vector<uint8_t> bytes = test::LayOut(TagSpec({{"Noun", 0x4000}}), &layout);
  ASSERT_EQ(test::LoadCode(bytes), 0);
  // The TAGMODE record is the second; its keys array offset is at record + 4.
  uint16_t record = layout.named_table_records[1];
  uint16_t keys = static_cast<uint16_t>(bytes[record + 4] << 8 | bytes[record + 5]);
  compiler::PutU16(bytes, keys, 0x7FFF);
  EXPECT_EQ(test::LoadCode(bytes), VTM_ERR_BAD_FILE);
}

TEST(FstTags, SymbolTextAndMatching) {
  compiler::TransducerSpec spec = test::BasicSpec();
  spec.symbols = {"a", "", "long\xE9name"};
  test::FsmPtr fsm = OpenSpec(spec);
  char buffer[16];
  uint16_t idx = compiler::SymbolIndex(spec.symbols, 2);
  EXPECT_EQ(idx, 4);  // 1 + (1 + 1) + (1 + 0)
  EXPECT_EQ(FsmSymbolText(fsm.get(), idx, buffer, 16), 9);
  EXPECT_STREQ(buffer, "long\xE9name");
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(FsmSymbolText(fsm.get(), idx, buffer, 9), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(buffer[0], '#') << "nothing written";
  EXPECT_EQ(FsmSymbolText(fsm.get(), idx, buffer, 10), 9);
  EXPECT_EQ(FsmSymbolText(fsm.get(), 3, buffer, 1), 0) << "the empty name";
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(FsmSymbolText(fsm.get(), 0, buffer, 16), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(FsmSymbolText(fsm.get(), 60000, buffer, 16), VTM_ERR_INVALID_NUMBER);
  EXPECT_TRUE(FsmSymbolMatches(fsm.get(), idx, "long\xE9name", 9));
  EXPECT_FALSE(FsmSymbolMatches(fsm.get(), idx, "long\xE9nam", 8));
  EXPECT_FALSE(FsmSymbolMatches(fsm.get(), idx, "long\xE9namf", 9));
  EXPECT_TRUE(FsmSymbolMatches(fsm.get(), 1, "a", 1));
  EXPECT_FALSE(FsmSymbolMatches(fsm.get(), 0, "", 0));
  EXPECT_FALSE(FsmSymbolMatches(fsm.get(), 9999, "a", 1));
}

TEST(FstTags, SpecialCodes) {
  compiler::TransducerSpec spec = test::BasicSpec();
  spec.named_tables.clear();
  test::FsmPtr fsm = OpenSpec(spec);
  EXPECT_EQ(fsm->tb_code, 1) << "no *DIACRITICS* table";
  EXPECT_EQ(fsm->eos_code, 1);
  EXPECT_EQ(fsm->eof_code, 1);
  EXPECT_EQ(fsm->eof_esc_count, 0);
  EXPECT_EQ(fsm->tagsep_code, 0);
  EXPECT_EQ(FsmSpecialCode(fsm.get(), "TB"), 0);

  spec.named_tables.push_back({"*DIACRITICS*", {}, {{"TB", 0x2400}, {"EOF", 0x2C02}}});
  fsm = OpenSpec(spec);
  EXPECT_EQ(fsm->tb_code, 0x24);
  EXPECT_EQ(fsm->eos_code, 0x24) << "EOS absent: the TB code";
  EXPECT_EQ(fsm->eof_code, 0x2C);
  EXPECT_EQ(fsm->eof_esc_count, 2);

  // The first table with the name and the first matching key are used.
  spec.named_tables = {{"OTHER", {}, {{"TB", 0x1000}}},
                       {"*DIACRITICS*", {}, {{"*TAGSEP*", 0x3000}, {"TB", 0x2000}, {"TB", 0x2800}}},
                       {"*DIACRITICS*", {}, {{"TB", 0x3C00}}}};
  fsm = OpenSpec(spec);
  EXPECT_EQ(FsmSpecialCode(fsm.get(), "TB"), 0x2000);
  EXPECT_EQ(fsm->tb_code, 0x20);
  EXPECT_EQ(fsm->tagsep_code, 0x30);
  EXPECT_EQ(fsm->eos_code, 0x20);
  NamedTable t;
  ASSERT_TRUE(FsmFindNamedTable(fsm.get(), "*DIACRITICS*", &t));
  EXPECT_EQ(t.keys.count, 3u);
  EXPECT_FALSE(FsmFindNamedTable(fsm.get(), "*DIACRITICS", &t));
}

}  // namespace
}  // namespace vtm

namespace vtm {
namespace {

TEST(FstTags, FullTablesDropEntriesAndLookupsStillEnd) {
  std::vector<std::pair<std::string, uint16_t>> tags;
  for (int i = 1; i <= 1030; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "t%d", i);
    tags.emplace_back(name, static_cast<uint16_t>(i));
  }
  test::FsmPtr fsm = OpenSpec(TagSpec(tags), "full_tags.fst");
  int by_code = 0, by_name = 0;
  for (int i = 0; i < kTagNameSlots; ++i) by_code += fsm->tag_name_by_code[i].code != 0;
  for (int i = 0; i < kTagCodeSlots; ++i) by_name += fsm->tag_code_by_name[i].name != nullptr;
  EXPECT_EQ(by_code, 1024);
  EXPECT_EQ(by_name, 1009);
  EXPECT_STREQ(FsmTagName(fsm.get(), 1), "t1");
  EXPECT_EQ(TagCode(fsm.get(), "t1"), 1);
  // Unknown keys in a full table: a full circle ends the search.
  EXPECT_EQ(FsmTagName(fsm.get(), 0xFFFF), nullptr);
  EXPECT_EQ(TagCode(fsm.get(), "none"), 0);
  EXPECT_EQ(TagCode(fsm.get(), "t1030"), 0) << "dropped from the name table";
  EXPECT_EQ(FsmTagName(fsm.get(), 1030), nullptr) << "dropped from the code table";
  std::vector<uint16_t> codes(1030);
  std::vector<char> text(1030 * 6);
  EXPECT_EQ(FsmListTags(fsm.get(), codes.data(), 1030, text.data(), 1030 * 6), 1030)
      << "listing reads the table, not the slots";
  EXPECT_EQ(codes[1029], 1030);
}

}  // namespace
}  // namespace vtm
