// vtm_group's sentence pass: brackets to records, skipped blank and multi-word tokens,
// nesting, unclosed and unmatched brackets, full record arrays and name areas, argument
// checks, failures, and the growth of the work areas for long sentences and deep walks.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "compiler/att_reader.h"
#include "compiler/transducer_builder.h"
#include "group/grouper.h"
#include "support/group_fixtures.h"

namespace vtm::test {
namespace {

struct Grouping {
  FsmPtr fsm;
  GrouperPtr grouper;
  explicit Grouping(const Paths& sentence, const Paths& inner = {},
                    const std::vector<std::string>& extra = {})
      : fsm(BuildGrouping(sentence, inner, extra)), grouper(vtm_make_grouper(fsm.get())) {
    EXPECT_EQ(vtm_object_error_code(grouper.get()), 0);
  }
  Grouped operator()(const std::vector<std::string>& tags, int flags = 0, int capacity = 64,
                     int names_size = 1024) const {
    return Group(grouper.get(), tags, flags, capacity, names_size);
  }
};

TEST(GroupPass, BracketsBecomeRecordsWithLabelsInTheNameArea) {
  Grouping g({"(np DT JJ NN )np"});
  Grouped r = g({"DT", "JJ", "NN"});
  ASSERT_EQ(r.rc, 1);
  EXPECT_EQ(r.records[0].first_token, 0);
  EXPECT_EQ(r.records[0].token_count, 3);
  EXPECT_EQ(r.records[0].name_offset, 0);
  EXPECT_EQ(r.labels[0], "np");
}

TEST(GroupPass, RecordsComeInOpeningOrderWithNamesOneAfterAnother) {
  Grouping g({"(pp IN (np DT NN )np )pp (vp VB )vp"});
  Grouped r = g({"IN", "DT", "NN", "VB"});
  EXPECT_EQ(Show(r), "pp 0 3; np 1 2; vp 3 1");
  ASSERT_EQ(r.rc, 3);
  EXPECT_EQ(r.records[1].name_offset, 3);
  EXPECT_EQ(r.records[2].name_offset, 6);
}

TEST(GroupPass, BlankTokensInsideCountAndGroupsStartAtTheNextWord) {
  Grouping g({"(np DT NN )np (vp VB )vp"});
  EXPECT_EQ(Show(g({"DT", "", "NN", "VB"})), "np 0 3; vp 3 1");
  // A group opened right after blanks starts at the word after them; blanks after the
  // last tag of a group are outside it.
  EXPECT_EQ(Show(g({"", "", "DT", "NN", "", "VB", ""})), "np 2 2; vp 5 1");
  EXPECT_EQ(Show(g({"DT", "NN", "_x", "VB"})), "np 0 2; vp 2 2");
}

TEST(GroupPass, MultiWordTokensStartAtTheirFirstWord) {
  Grouping g({"(np NN )np", "DT (np NN )np"});
  EXPECT_EQ(Show(g({"__mwt", "__mwt", "NN"})), "np 0 3");
  // Continuation words before a blank belong to no group opened after the blank.
  EXPECT_EQ(Show(g({"__mwt", "", "__mwt", "NN"})), "np 2 2");
  EXPECT_EQ(Show(g({"DT", "__mwt", "NN"})), "np 1 2");
}

TEST(GroupPass, UnclosedAndUnmatchedBrackets) {
  Grouping g({"(np DT NN", ")np DT NN", "(np VB )vp", "(a (b JJ )x )y )z NN", "(a (b RB )b"});
  EXPECT_EQ(Show(g({"DT", "NN"}, 0)), "np 0 -1");
  // A closing bracket with no open group is ignored (the second path starts with one, but
  // the first path wins for DT NN, so a path of its own is needed).
  Grouping closing({")np DT NN )np"});
  EXPECT_EQ(Show(closing({"DT", "NN"})), "");
  // The closing label's name is not compared with the open group's.
  EXPECT_EQ(Show(g({"VB"})), "np 0 1");
  // Closing goes back to the nearest open group; the extra close finds none.
  EXPECT_EQ(Show(g({"JJ", "NN"})), "a 0 1; b 0 1");
  EXPECT_EQ(Show(g({"RB"})), "a 0 -1; b 0 1");
}

TEST(GroupPass, CapacityAndNameAreaLimitsDropTheResultWithoutError) {
  Grouping g({"(pp IN (np DT NN )np )pp"});
  const std::vector<std::string> tags{"IN", "DT", "NN"};
  EXPECT_EQ(g(tags, 0, 0).rc, 0);
  EXPECT_EQ(g(tags, 0, 1).rc, 0);
  EXPECT_EQ(g(tags, 0, 2).rc, 2);
  // "pp\0np\0" is six bytes; the area must keep one byte free after the last name.
  EXPECT_EQ(g(tags, 0, 64, 6).rc, 0);
  EXPECT_EQ(g(tags, 0, 64, 7).rc, 2);
  EXPECT_EQ(g(tags, 0, 64, 0).rc, 0);
}

TEST(GroupPass, InsertedTagsThatAreNoLabelDropTheResult) {
  Grouping g({"(np DT +xx NN )np", "(np JJ +(" + std::string(31, 'a') + " NN )np",
              "(np RB +(" + std::string(30, 'b') + " NN )np"});
  EXPECT_EQ(g({"DT", "NN"}).rc, 0);
  EXPECT_EQ(g({"JJ", "NN"}).rc, 0);  // a label name over 30 bytes is not a label
  // A 30-byte name is one; the close meets it first.
  EXPECT_EQ(Show(g({"RB", "NN"})), "np 0 -1; " + std::string(30, 'b') + " 1 1");
}

TEST(GroupPass, FailuresAndArgumentChecks) {
  Grouping g({"(np DT NN )np"}, {}, {"VB"});
  EXPECT_EQ(g({"DT", "XX"}).rc, VTM_ERR_CHAR_NOT_IN_ALPHABET);
  EXPECT_EQ(g({"VB"}).rc, VTM_ERR_INVALID_FSM);  // known tag, no path
  EXPECT_EQ(g({"DT"}).rc, VTM_ERR_INVALID_FSM);
  VtmGroup records[4];
  char names[32];
  const std::string tags = TagList({"DT", "NN"});
  VtmGrouper grouper = g.grouper.get();
  EXPECT_EQ(vtm_group(nullptr, 2, 0, records, 4, names, 32, grouper), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_group(tags.c_str(), 2, 0, nullptr, 4, names, 32, grouper), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_group(tags.c_str(), 2, 0, records, 4, nullptr, 32, grouper), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_group(tags.c_str(), 2, 0, records, 4, names, 32, nullptr), VTM_ERR_NULL_OBJECT);
  auto bad = static_cast<VtmGrouper>(vtm_error_object(VTM_ERR_BAD_FILE));
  EXPECT_EQ(vtm_group(tags.c_str(), 2, 0, records, 4, names, 32, bad), VTM_ERR_BAD_FILE);
  EXPECT_EQ(vtm_group(tags.c_str(), -1, 0, records, 4, names, 32, grouper), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_group(tags.c_str(), 2, 0, records, -1, names, 32, grouper), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_group(tags.c_str(), 2, 0, records, 4, names, -1, grouper), VTM_ERR_INVALID_NUMBER);
  // Only the low byte of the flags is read: 0x100 is no flag.
  EXPECT_EQ(vtm_group(tags.c_str(), 2, 0x100, records, 4, names, 32, grouper), 1);
}

TEST(GroupPass, EmptySentenceGroupsWhenTheTransducerAcceptsIt) {
  Grouping accepts({"", "(np DT )np"});
  EXPECT_EQ(accepts({}).rc, 0);
  EXPECT_EQ(accepts({"", "__mwt"}).rc, 0);
  Grouping refuses({"(np DT )np"});
  EXPECT_EQ(refuses({}).rc, VTM_ERR_INVALID_FSM);
}

// A transducer over tags A and B that brackets every A. Its start state offers "(np A"
// before "B", so the walk leaves one pending alternative per token: a sentence of n
// tokens needs about n stack entries and 2n coded bytes.
std::string WrapEveryA() {
  return "0\t1\t@0@\t[(np]\n1\t2\t[A]\t[A]\n2\t0\t@0@\t[)np]\n0\t0\t[B]\t[B]\n0\n";
}

TEST(GroupPass, LongSentencesGrowTheWorkAreasAndGiveEveryGroup) {
  compiler::BuildOptions options;
  auto att = std::make_shared<compiler::AttTransducer>();
  std::string error;
  ASSERT_TRUE(compiler::ReadAtt(WrapEveryA(), 0, att.get(), &error)) << error;
  options.inputs.push_back({kFunctionGrouper, "62", att});
  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  ASSERT_TRUE(compiler::BuildTransducer(options, &spec, &report, &error)) << error;
  FsmPtr fsm = Open(WriteSpec("wrap.vtm", spec));
  GrouperPtr grouper(vtm_make_grouper(fsm.get()));
  std::mt19937 rng(7);
  int compared = 0;
  for (int n : {1, 100, 127, 128, 129, 227, 228, 255, 256, 257, 511, 1000, 5000}) {
    std::vector<std::string> tags;
    std::vector<int> as;
    for (int i = 0; i < n; ++i) {
      const bool a = rng() % 3 != 0;
      if (a) as.push_back(i);
      tags.push_back(a ? "A" : "B");
    }
    Grouped r = Group(grouper.get(), tags, 0, n, 3 * n + 1);
    ASSERT_EQ(r.rc, static_cast<int>(as.size())) << n;
    for (std::size_t k = 0; k < as.size(); ++k) {
      EXPECT_EQ(r.records[k].first_token, as[k]);
      EXPECT_EQ(r.records[k].token_count, 1);
      EXPECT_EQ(r.records[k].name_offset, static_cast<int>(3 * k));
    }
    ++compared;
  }
  EXPECT_EQ(compared, 13);
}

}  // namespace
}  // namespace vtm::test
