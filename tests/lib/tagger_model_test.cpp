// Tagger model: the file reader's failure codes (every truncation point, header, version
// and language, counts, duplicate keys, damaged emissions), the symbol-number rule, and
// the class table (hash chains, exact and nearest lookup with ties, resolve).
#include <gtest/gtest.h>

#include <cstring>

#include "support/tagger_fixtures.h"
#include "tagger/tagger.h"

namespace vtm {
namespace {

using test::ClassFsm;
using test::ClassFsmOptions;
using test::FsmPtr;
using test::LoadTagger;
using test::TaggerPtr;

// A model file put together field by field, with nothing checked, so that tests can
// write what the model writer refuses.
struct RawModel {
  std::vector<uint8_t> header = {0, 0, 0, 0, 14, 0, 0, 9, 0, 0, 0, 0};
  std::string version = "3.1";
  std::string comment = "test";
  std::vector<uint32_t> words = {0, 2, 2, 2};  // reserved, max_class_size, tags, classes
  std::vector<std::string> names = {"A", "B"};
  std::vector<std::string> classes = {"[A]", "[A][B]"};
  uint32_t check = 2;
  std::vector<uint32_t> initial = {0xFFFFFFFF, 0xFFFFFFFE};
  std::vector<std::vector<uint32_t>> transitions = {{0xFFFFFFFF, 0xFFFFFFFF}, {0xFFFFFFF0}};
  std::vector<std::vector<std::pair<uint32_t, uint32_t>>> emissions = {
      {{0, 0xFFFFFFFF}}, {{0, 0xFFFFFFFE}, {1, 0xFFFFFFFD}}};

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> b = header;
    auto word = [&](uint32_t w) {
      for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(w >> (8 * k)));
    };
    auto str = [&](const std::string& s) {
      b.insert(b.end(), s.begin(), s.end());
      b.push_back(0);
    };
    b.insert(b.end(), version.begin(), version.end());
    b.push_back('\n');
    str(comment);
    for (uint32_t w : words) word(w);
    for (const auto& n : names) str(n);
    b.push_back(0);
    for (const auto& c : classes) str(c);
    b.push_back(0);
    word(check);
    for (uint32_t s : initial) word(s);
    for (const auto& row : transitions) {
      word(static_cast<uint32_t>(row.size()));
      for (uint32_t s : row) word(s);
    }
    for (const auto& e : emissions) {
      word(static_cast<uint32_t>(e.size()));
      for (auto [t, s] : e) {
        word(t);
        word(s);
      }
    }
    return b;
  }
};

class ModelFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClassFsmOptions o;
    o.lexicon = {{"a", {"A"}}, {"ab", {"A", "B"}}, {"x", {"__mwt"}}};
    fsm_ = ClassFsm(o, "model_file");
    ASSERT_EQ(vtm_object_error_code(fsm_.get()), 0);
  }
  int Code(const std::vector<uint8_t>& bytes) {
    TaggerPtr t = LoadTagger(test::WriteBytes("raw.model", bytes), fsm_.get());
    return vtm_object_error_code(t.get());
  }
  int Code(const RawModel& raw) { return Code(raw.Bytes()); }
  FsmPtr fsm_;
};

TEST_F(ModelFileTest, LoadsEveryPartOfAWellFormedFile) {
  RawModel raw;
  raw.classes = {"[A]", "[A][B][__mwt]"};
  TaggerPtr t = LoadTagger(test::WriteBytes("good.model", raw.Bytes()), fsm_.get());
  ASSERT_EQ(vtm_object_error_code(t.get()), 0);
  EXPECT_EQ(t->tag_count, 2);
  EXPECT_EQ(t->class_count, 2);
  EXPECT_EQ(t->max_class_size, 2u);
  EXPECT_EQ(t->class_tag_total, 4);  // every "[" counts, the marker's too
  EXPECT_STREQ(t->tag_names[0], "A");
  EXPECT_STREQ(t->tag_names[1], "B");
  EXPECT_EQ(t->initial_scores[1], -2);
  EXPECT_EQ(t->transition_lengths[0], 2);
  EXPECT_EQ(t->transition_lengths[1], 1);
  EXPECT_EQ(t->transition_rows[1][0], -16);
  EXPECT_EQ(t->class_sizes[1], 2);
  EXPECT_EQ(t->class_tags[1][1], 1);
  EXPECT_EQ(t->emission_rows[1][1], -3);
  // Rows follow each other in the shared stores, after the tag_count leading entries.
  EXPECT_EQ(t->emission_rows[0], t->score_store + 2);
  EXPECT_EQ(t->emission_rows[1], t->score_store + 3);
  EXPECT_EQ(t->class_tags[1], t->index_store + 3);
  EXPECT_EQ(t->clg, fsm_.get());
}

TEST_F(ModelFileTest, EveryTruncationIsABadFile) {
  const std::vector<uint8_t> full = RawModel().Bytes();
  ASSERT_EQ(Code(full), 0);
  int checked = 0;
  for (std::size_t n = 0; n < full.size(); ++n) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_EQ(Code(cut), VTM_ERR_BAD_FILE) << "cut at " << n;
    ++checked;
  }
  EXPECT_EQ(checked, static_cast<int>(full.size()));
  // Bytes after the emissions are not read.
  std::vector<uint8_t> longer = full;
  longer.push_back(0xFF);
  EXPECT_EQ(Code(longer), 0);
}

TEST_F(ModelFileTest, HeaderVersionAndLanguage) {
  RawModel raw;
  raw.header[4] = 1;  // a transducer file's type byte
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  for (int k : {0, 1, 2, 3, 5, 6, 8, 9, 10, 11}) raw.header[k] = 0xA5;  // not examined
  EXPECT_EQ(Code(raw), 0);
  raw = RawModel();
  raw.version = "3.2";
  EXPECT_EQ(Code(raw), VTM_ERR_MODEL_MISMATCH);
  raw = RawModel();
  raw.header[7] = 10;
  EXPECT_EQ(Code(raw), VTM_ERR_MODEL_MISMATCH);
  raw = RawModel();
  raw.version = std::string(31, 'v');  // fits the line, differs from the transducer's
  EXPECT_EQ(Code(raw), VTM_ERR_MODEL_MISMATCH);
  raw.version = std::string(32, 'v');  // too long for the line
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw.version = std::string("3.1\0", 4);
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
}

TEST_F(ModelFileTest, CountsNamesAndClassStrings) {
  RawModel raw;
  raw.check = 3;
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.names.push_back("C");  // a non-empty string after the last name
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.names[1] = std::string(256, 'n');
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw.names[1] = std::string(255, 'n');
  EXPECT_EQ(Code(raw), 0);
  raw.names[1] = "B\xFF";  // 0xFF reads as the end of the file
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.classes = {"[A][B]", "[B][A]"};  // the same key
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw.classes = {"[A]", "[A][A][__mwt]"};  // the key of [A]
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw.classes = {"[A]", "[nosuch]"};
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw.classes = {"[A]", "[A", "[B]"};
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw.classes = {"[A]", "[B]", "[A][B]"};  // more strings than class_count
  EXPECT_EQ(Code(raw), VTM_ERR_NO_MEMORY);
  raw = RawModel();
  raw.words[2] = 0;
  raw.names.clear();
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.words[3] = 0;
  raw.classes.clear();
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.words[2] = 0x8000;  // negative in 16 bits
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.words[0] = 2147483647;  // the reader's end-of-file value
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.initial[0] = 2147483647;
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
}

TEST_F(ModelFileTest, TransitionsAndEmissions) {
  RawModel raw;
  raw.transitions[1] = {1, 2, 3};  // longer than tag_count
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.transitions[0].clear();  // an empty row is fine
  EXPECT_EQ(Code(raw), 0);
  raw = RawModel();
  raw.emissions[1].push_back({1, 5});  // 3 entries > max_class_size 2
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw.words[1] = 3;  // allowed now, but more entries than the strings' "[" count (3)
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.emissions[0][0].first = 2;  // no such tag
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
  raw = RawModel();
  raw.emissions[0].clear();  // a class without member tags cannot be decoded
  EXPECT_EQ(Code(raw), VTM_ERR_BAD_FILE);
}

TEST_F(ModelFileTest, Arguments) {
  const std::string path = test::WriteBytes("args.model", RawModel().Bytes());
  EXPECT_EQ(vtm_object_error_code(vtm_make_tagger(nullptr, fsm_.get())), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_object_error_code(vtm_make_tagger(path.c_str(), nullptr)), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_object_error_code(
                vtm_make_tagger(path.c_str(), static_cast<VtmFsm>(vtm_error_object(-2)))),
            VTM_ERR_INVALID_FSM);
  EXPECT_EQ(vtm_object_error_code(vtmMakeTagger("/nonexistent/model", fsm_.get())),
            VTM_ERR_FILE_OPEN);
  ClassFsmOptions no_guesser;
  no_guesser.lexicon = {{"a", {"A"}}};
  no_guesser.guesser = false;
  FsmPtr lexicon_only = ClassFsm(no_guesser, "lexicon_only");
  EXPECT_EQ(vtm_object_error_code(vtm_make_tagger(path.c_str(), lexicon_only.get())),
            VTM_ERR_INVALID_FUNCTION);
  VtmTagger t = vtmMakeTagger(path.c_str(), fsm_.get());
  EXPECT_EQ(vtm_object_error_code(t), 0);
  vtmFreeTagger(t);
  vtm_free_tagger(nullptr);
  vtmFreeTagger(static_cast<VtmTagger>(vtm_error_object(-3)));
}

TEST(SymbolNumbers, BaseCodesAndFollowingEscapes) {
  const uint8_t esc = 68;
  uint16_t out[8];
  const uint8_t codes[] = {100, 68, 68, 104, 200, 68, 0};
  ASSERT_EQ(CodesToSymbols(codes, esc, out, 8), 3);
  EXPECT_EQ(out[0], 25 + 128);
  EXPECT_EQ(out[1], 26);
  EXPECT_EQ(out[2], 50 + 64);
  // A string converts only when it has fewer symbols than the capacity.
  EXPECT_EQ(CodesToSymbols(codes, esc, out, 4), 3);
  EXPECT_EQ(CodesToSymbols(codes, esc, out, 3), VTM_ERR_OUTPUT_TOO_LONG);
  const uint8_t empty[] = {0};
  EXPECT_EQ(CodesToSymbols(empty, esc, out, 1), 0);
}

using Table = test::KeyTable;

TEST(ClassTable, HashChainsAndExactLookup) {
  const uint16_t one[] = {3};
  EXPECT_EQ(ClassKeyHash(one, 1), 3u);
  const uint16_t two[] = {3, 5};
  EXPECT_EQ(ClassKeyHash(two, 2), 3u * 64 + 5);
  // Five symbols push bits into the top nibble, which is folded back.
  const uint16_t five[] = {63, 63, 63, 63, 63};
  uint32_t h = 0;
  for (int k = 0; k < 5; ++k) {
    h = (h << 6) + 63;
    if (uint32_t g = h & 0xF0000000u) h = (h ^ (g >> 24)) ^ g;
  }
  EXPECT_EQ(ClassKeyHash(five, 5), h);
  // Keys 1009 apart share a chain; the newer one is at its head.
  Table table({{4}, {1013}, {4, 6}});
  EXPECT_EQ(table.t.heads[4]->class_number, 1);
  EXPECT_EQ(table.t.heads[4]->next->class_number, 0);
  const uint16_t k4[] = {4};
  const uint16_t k1013[] = {1013};
  const uint16_t k46[] = {4, 6};
  const uint16_t k64[] = {6, 4};
  EXPECT_EQ(ClassTableExact(table.t, k4, 1), 0);
  EXPECT_EQ(ClassTableExact(table.t, k1013, 1), 1);
  EXPECT_EQ(ClassTableExact(table.t, k46, 2), 2);
  EXPECT_EQ(ClassTableExact(table.t, k64, 2), -1);
  EXPECT_FALSE(ClassTableInsert(&table.t, k4, 1, 9));  // full
}

TEST(ClassTable, DistanceAndNearestWithTies) {
  const uint16_t t35[] = {3, 5};
  const uint16_t k3456[] = {3, 4, 5, 6};
  const uint16_t k3[] = {3};
  EXPECT_EQ(ClassDistance(t35, 2, k3456, 4), 4);
  EXPECT_EQ(ClassDistance(t35, 2, k3, 1), 1);
  EXPECT_EQ(ClassDistance(k3, 1, t35, 2), 2);     // 4, then -2 for the class's 5
  EXPECT_EQ(ClassDistance(k3456, 4, t35, 2), 2);  // 4 - 3 + 4 - 3
  EXPECT_EQ(ClassDistance(t35, 2, t35, 0), -6);
  EXPECT_EQ(Table({{3, 4, 5, 6}, {3}}).Nearest({3, 5}), 0);
  EXPECT_EQ(Table({{3}, {3, 4, 5, 6}}).Nearest({3, 5}), 1);
  // Equal distances: the entry met first wins; chains are visited from 0 and each
  // chain from its newest entry. {2} (chain 2) comes before {7} (chain 7).
  EXPECT_EQ(Table({{7}, {2}}).Nearest({5}), 1);
  EXPECT_EQ(Table({{2}, {7}}).Nearest({5}), 0);
  // {5} and {1014} share chain 5 and are both -5 from {9}: the newer one is met first.
  EXPECT_EQ(Table({{5}, {1014}}).Nearest({9}), 1);
  EXPECT_EQ(Table({{1014}, {5}}).Nearest({9}), 1);
  EXPECT_EQ(Table({}).Nearest({9}), 0);
}

TEST_F(ModelFileTest, ResolveSortsDropsTheMarkerAndFallsBackToTheNearest) {
  RawModel raw;
  raw.words = {0, 2, 2, 3};
  raw.classes = {"[A]", "[A][B]", "[B]"};
  raw.emissions.push_back({{1, 0xFFFFFFFF}});
  TaggerPtr t = LoadTagger(test::WriteBytes("resolve.model", raw.Bytes()), fsm_.get());
  ASSERT_EQ(vtm_object_error_code(t.get()), 0);
  const int32_t mwt = MultiwordSymbol(fsm_.get());
  ASSERT_GE(mwt, 0);
  // Symbol numbers of A and B from the class keys themselves.
  const uint16_t sa = t->class_table.entries[0].symbols[0];
  const uint16_t sb = t->class_table.entries[2].symbols[0];
  uint16_t set[] = {sb, static_cast<uint16_t>(mwt), sa, sb};
  EXPECT_EQ(ResolveClass(*t, set, 4, mwt), 1);
  uint16_t marker_only[] = {static_cast<uint16_t>(mwt)};
  // Nothing is left: the nearest class is a one-tag class (-2), the one met first.
  EXPECT_EQ(ResolveClass(*t, marker_only, 1, mwt), sa % 1009 < sb % 1009 ? 0 : 2);
  EXPECT_EQ(ResolveClass(*t, set, 0, mwt), 0);
  uint16_t unknown[] = {static_cast<uint16_t>(sb + 1)};
  EXPECT_GE(ResolveClass(*t, unknown, 1, mwt), 0);
}

}  // namespace
}  // namespace vtm
