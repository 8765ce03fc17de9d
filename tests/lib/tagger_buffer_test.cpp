// Tagger buffers: argument order and limits, sizes and row layout, the title-case
// exception dictionary of the camelCase maker, and freeing.
#include <gtest/gtest.h>

#include "dict/client_dict.h"
#include "support/tagger_fixtures.h"
#include "tagger/tagger.h"

namespace vtm {
namespace {

class TaggerBufferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClassFsmOptions o;
    o.lexicon = {{"a", {"A"}}, {"b", {"B"}}, {"c", {"__mwt"}}};
    fsm_ = test::ClassFsm(o, "buffer");
    compiler::TaggerModel m =
        test::FlatModel(fsm_.get(), {"A", "B"}, {"[A]", "[A][B]"}, {{0}, {0, 1}});
    m.max_class_size = 7;
    tagger_ = test::LoadTagger(test::WriteModel("buffer", m), fsm_.get());
    ASSERT_EQ(vtm_object_error_code(tagger_.get()), 0);
  }
  int MakeCode(int tokens, int chars, bool camel = false) {
    VtmTaggerBuffer b = camel ? vtmMakeTaggerBuffer(tokens, chars, tagger_.get())
                              : vtm_make_tagger_buffer(tokens, chars, tagger_.get());
    const int code = vtm_object_error_code(b);
    if (camel) {
      vtmFreeTaggerBuffer(b);
    } else {
      vtm_free_tagger_buffer(b);
    }
    return code;
  }
  test::FsmPtr fsm_;
  test::TaggerPtr tagger_;
};

TEST_F(TaggerBufferTest, LimitsAndArgumentOrder) {
  for (bool camel : {false, true}) {
    EXPECT_EQ(MakeCode(100000, 0, camel), 0);
    EXPECT_EQ(MakeCode(1, 1000000, camel), 0);
    EXPECT_EQ(MakeCode(100001, 1, camel), VTM_ERR_NO_MEMORY);
    EXPECT_EQ(MakeCode(1, 1000001, camel), VTM_ERR_NO_MEMORY);
    EXPECT_EQ(MakeCode(-1, 10, camel), VTM_ERR_INVALID_NUMBER);
    EXPECT_EQ(MakeCode(10, -1, camel), VTM_ERR_INVALID_NUMBER);
  }
  // Negative numbers are reported before a missing tagger, limits after it.
  EXPECT_EQ(vtm_object_error_code(vtm_make_tagger_buffer(-1, 1, nullptr)), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_object_error_code(vtm_make_tagger_buffer(200000, 1, nullptr)), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_object_error_code(vtmMakeTaggerBuffer(1, 1, nullptr)), VTM_ERR_NULL_OBJECT);
  auto err = static_cast<VtmTagger>(vtm_error_object(VTM_ERR_BAD_FILE));
  EXPECT_EQ(reinterpret_cast<void*>(vtm_make_tagger_buffer(1, 1, err)),
            reinterpret_cast<void*>(err));
  EXPECT_EQ(reinterpret_cast<void*>(vtmMakeTaggerBuffer(1, 1, err)), reinterpret_cast<void*>(err));
  EXPECT_EQ(vtm_object_error_code(vtmMakeTaggerBuffer(1, 1, err)), VTM_ERR_BAD_FILE);
  vtm_free_tagger_buffer(nullptr);
  vtmFreeTaggerBuffer(nullptr);
  vtmFreeTaggerBuffer(static_cast<VtmTaggerBuffer>(vtm_error_object(-3)));
}

TEST_F(TaggerBufferTest, SizesAndRows) {
  struct Case {
    int tokens, chars, text_size;
  };
  // L = floor(log2(max_tokens)): 0 for 0 and 1; 6 for 64 and 100.
  for (Case c : {Case{64, 100, 1000}, Case{100, 100, 1000}, Case{0, 10, 40}, Case{1, 10, 40},
                 Case{2, 10, 50}, Case{3, 10, 50}, Case{4, 10, 60}, Case{100000, 1, 20}}) {
    test::BufferPtr b(vtm_make_tagger_buffer(c.tokens, c.chars, tagger_.get()));
    ASSERT_EQ(vtm_object_error_code(b.get()), 0);
    EXPECT_EQ(b->text_size, c.text_size) << c.tokens;
    EXPECT_EQ(b->coded_size, c.text_size);
    EXPECT_EQ(b->max_tokens, c.tokens);
    EXPECT_EQ(b->tag_count, 2);
    EXPECT_EQ(b->guess_capacity, 14);
    EXPECT_EQ(b->title_dict, nullptr);
    EXPECT_EQ(b->score_next, b->score_prev + 7);
    for (int n = 1; n <= c.tokens; n += 1 + c.tokens / 7) {
      EXPECT_EQ(b->tag_rows[n], b->tag_store + (n - 1) * 2);
    }
    for (int t = 0; t < c.tokens; t += 1 + c.tokens / 7) {
      EXPECT_EQ(b->back_rows[t], b->back_store + t * 7);
    }
    // The marker's symbol is that of the key [__mwt] would have in the transducer.
    EXPECT_EQ(b->mwt_symbol, MultiwordSymbol(fsm_.get()));
    EXPECT_GE(b->mwt_symbol, 0);
  }
}

TEST_F(TaggerBufferTest, MarkerAbsentFromTheTransducer) {
  test::ClassFsmOptions o;
  o.lexicon = {{"a", {"A"}}};
  test::FsmPtr plain = test::ClassFsm(o, "no_marker");
  compiler::TaggerModel m = test::FlatModel(plain.get(), {"A"}, {"[A]"}, {{0}});
  test::TaggerPtr t = test::LoadTagger(test::WriteModel("no_marker", m), plain.get());
  ASSERT_EQ(vtm_object_error_code(t.get()), 0);
  VtmTaggerBuffer b = vtm_make_tagger_buffer(4, 4, t.get());
  ASSERT_EQ(vtm_object_error_code(b), 0);
  EXPECT_EQ(b->mwt_symbol, VTM_ERR_CHAR_NOT_IN_ALPHABET);
  vtm_free_tagger_buffer(b);
}

TEST_F(TaggerBufferTest, TitleDictionaryOfTheCamelCaseMaker) {
  test::BufferPtr b(vtmMakeTaggerBuffer(8, 80, tagger_.get()));
  ASSERT_EQ(vtm_object_error_code(b.get()), 0);
  ASSERT_NE(b->title_dict, nullptr);
  int found = 0;
  for (const char* w : {"a", "and", "as", "at", "by", "for", "from", "in", "is", "n't", "of", "on",
                        "or", "the", "to", "with"}) {
    EXPECT_EQ(vtm_client_dict_lookup(w, "[title-uncap]", nullptr, 0, VTM_DICT_TAG_FILTER, 0,
                                     b->title_dict),
              1)
        << w;
    ++found;
  }
  EXPECT_EQ(found, 16);
  EXPECT_EQ(b->title_dict->entry_count, 16u);
  EXPECT_EQ(vtm_client_dict_lookup("The", "[title-uncap]", nullptr, 0, VTM_DICT_TAG_FILTER, 0,
                                   b->title_dict),
            0);
  EXPECT_EQ(vtm_client_dict_lookup("but", nullptr, nullptr, 0, 0, 0, b->title_dict), 0);
}

}  // namespace
}  // namespace vtm
