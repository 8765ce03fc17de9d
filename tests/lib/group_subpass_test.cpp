// vtm_group's sub-pass (flag 1) and sort (flag 2): which groups are searched again, the
// records it appends, dropped whole-range groups, every distinct path of function 63,
// name offsets after the sentence pass's names, and failures inside a sub-pass.
#include <gtest/gtest.h>

#include <string>

#include "group/grouper.h"
#include "support/group_fixtures.h"

namespace vtm::test {
namespace {

constexpr int kSub = VTM_GROUP_SUBGROUPS;
constexpr int kSort = VTM_GROUP_SORT;

struct Grouping {
  FsmPtr fsm;
  GrouperPtr grouper;
  Grouping(const Paths& sentence, const Paths& inner)
      : fsm(BuildGrouping(sentence, inner)), grouper(vtm_make_grouper(fsm.get())) {
    EXPECT_EQ(vtm_object_error_code(grouper.get()), 0);
  }
  Grouped operator()(const std::vector<std::string>& tags, int flags, int capacity = 64,
                     int names_size = 1024) const {
    return Group(grouper.get(), tags, flags, capacity, names_size);
  }
};

const std::vector<std::string> kTags{"VB", "RB", "VB", "IN", "DT", "JJ", "JJ", "NN"};

// Sentence: (vp VB RB VB )vp (pp IN (np DT JJ JJ NN )np )pp; the np spans tokens 4-7.
const char* kSentence = "(vp VB RB VB )vp (pp IN (np DT JJ JJ NN )np )pp";

TEST(GroupSubpass, AppendsInnerGroupsAndDropsWholeRangeOnes) {
  Grouping g({kSentence}, {"DT (adjp JJ JJ )adjp NN", "(nom DT JJ JJ NN )nom"});
  EXPECT_EQ(Show(g(kTags, 0)), "vp 0 3; pp 3 5; np 4 4");
  // Two distinct results: the first gives adjp over 5-6, the second a group over the
  // whole np, which is dropped.
  Grouped r = g(kTags, kSub);
  EXPECT_EQ(Show(r), "vp 0 3; pp 3 5; np 4 4; adjp 5 2");
  ASSERT_EQ(r.rc, 4);
  EXPECT_EQ(r.records[3].name_offset, 9);  // after "vp", "pp", "np"
  EXPECT_EQ(Show(g(kTags, kSub | kSort)), "vp 0 3; pp 3 5; np 4 4; adjp 5 2");
  // Flag 2 alone changes nothing.
  EXPECT_EQ(Show(g(kTags, kSort)), "vp 0 3; pp 3 5; np 4 4");
}

TEST(GroupSubpass, SortsByStartThenLongerFirst) {
  Grouping g({"(np DT JJ NN )np (np NN NN )np"},
             {"(d DT )d (a JJ )a NN", "(x DT JJ )x NN", "(n NN )n NN"});
  Grouped r = g({"DT", "JJ", "NN", "NN", "NN"}, kSub);
  EXPECT_EQ(Show(r), "np 0 3; np 3 2; d 0 1; a 1 1; x 0 2; n 3 1");
  EXPECT_EQ(Show(g({"DT", "JJ", "NN", "NN", "NN"}, kSub | kSort)),
            "np 0 3; x 0 2; d 0 1; a 1 1; np 3 2; n 3 1");
}

TEST(GroupSubpass, OnlyNpGroupsOfMoreThanOneToken) {
  Grouping g({"(np NN )np (NP DT NN )NP (nps DT NN )nps (np DT )x NN"},
             {"(in DT )in NN", "(in NN )in"});
  EXPECT_EQ(Show(g({"NN", "DT", "NN", "DT", "NN", "DT", "NN"}, kSub)),
            "np 0 1; NP 1 2; nps 3 2; np 5 1");
  // Continuation tokens count: a one-word np made of a three-word token is searched (an
  // inner group closed there would start at its first word, span the whole np and be
  // dropped; an unclosed one stays).
  Grouping mwt({"(np NN )np"}, {"(in NN"});
  EXPECT_EQ(Show(mwt({"__mwt", "__mwt", "NN"}, kSub)), "np 0 3; in 0 -1");
}

TEST(GroupSubpass, InnerTokenIndexesAreAbsoluteAndUnclosedInnerGroupsStay) {
  Grouping g({"(np DT NN )np VB (np DT JJ NN )np"}, {"(q DT NN", "DT (a JJ NN"});
  Grouped r = g({"DT", "NN", "VB", "DT", "JJ", "NN"}, kSub);
  EXPECT_EQ(Show(r), "np 0 2; np 3 3; q 0 -1; a 4 -1");
}

// A closing label closes the latest open group of its own result. Once those are all
// closed it is ignored: a group left open by the sentence pass (pp here) or by another
// result of the sub-pass (y) is not closed by a stray closing label of a later result,
// which would give it a length measured inside the np.
TEST(GroupSubpass, ClosingLabelsCloseOnlyGroupsOfTheirOwnResult) {
  Grouping g({"(pp (np DT NN )np VB"}, {"(x DT )x )x NN", "(y DT NN", "DT )y NN"});
  EXPECT_EQ(Show(g({"DT", "NN", "VB"}, 0)), "pp 0 -1; np 0 2");
  EXPECT_EQ(Show(g({"DT", "NN", "VB"}, kSub)), "pp 0 -1; np 0 2; x 0 1; y 0 -1");
}

TEST(GroupSubpass, MissingFunction63FailsOnlyWhenASubpassRuns) {
  Grouping g({"(np DT NN )np", "(np NN )np"}, {});
  EXPECT_EQ(g({"NN"}, kSub).rc, 1);
  EXPECT_EQ(g({"DT", "NN"}, kSub).rc, VTM_ERR_INVALID_FUNCTION);
  EXPECT_EQ(g({"DT", "NN"}, 0).rc, 1);
}

TEST(GroupSubpass, ErrorsInsideASubpassEndTheCall) {
  // The inner transducer knows DT NN only in another order: no path.
  Grouping g({"(np DT NN )np"}, {"(x NN DT )x"});
  EXPECT_EQ(g({"DT", "NN"}, kSub).rc, VTM_ERR_INVALID_FSM);
}

TEST(GroupSubpass, FullRecordArrayOrNameAreaKeepsTheSentenceRecords) {
  Grouping g({kSentence}, {"DT (adjp JJ JJ )adjp NN"});
  EXPECT_EQ(g(kTags, kSub, 3).rc, 3);
  EXPECT_EQ(g(kTags, kSub, 4).rc, 4);
  // "vp pp np " take 9 bytes; "adjp" needs 5 more and one byte must stay free.
  EXPECT_EQ(g(kTags, kSub, 64, 14).rc, 3);
  EXPECT_EQ(g(kTags, kSub, 64, 15).rc, 4);
}

}  // namespace
}  // namespace vtm::test
