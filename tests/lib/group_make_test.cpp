// vtm_make_grouper and vtm_free_grouper: which transducers become groupers, the label
// table read from the bracket tags, and the limits (256 labels, the name scratch).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/frame.h"
#include "group/grouper.h"
#include "support/group_fixtures.h"

namespace vtm::test {
namespace {

TEST(MakeGrouper, RefusesNullErrorObjectsAndTransducersWithoutFunction62) {
  EXPECT_EQ(vtm_object_error_code(vtm_make_grouper(nullptr)), VTM_ERR_NULL_OBJECT);
  void* bad = vtm_error_object(VTM_ERR_BAD_FILE);
  EXPECT_EQ(static_cast<void*>(vtm_make_grouper(static_cast<VtmFsm>(bad))), bad);
  FsmPtr analysis = Open(WriteSpec("analysis.vtm", BasicSpec()));
  ASSERT_EQ(vtm_object_error_code(analysis.get()), 0);
  EXPECT_EQ(vtm_object_error_code(vtm_make_grouper(analysis.get())), VTM_ERR_INVALID_FUNCTION);
  // Function 63 alone is not enough either.
  FsmPtr none = BuildGrouping({}, {"(np DT )np"});
  EXPECT_EQ(vtm_object_error_code(vtm_make_grouper(none.get())), VTM_ERR_INVALID_FUNCTION);
  vtm_free_grouper(nullptr);
  vtm_free_grouper(static_cast<VtmGrouper>(bad));
}

TEST(MakeGrouper, TakesEveryBracketTagInTableOrderAsALabel) {
  FsmPtr fsm = BuildGrouping({"(np DT (adjp JJ )adjp NN )np", "(vp VB )x"});
  GrouperPtr g(vtm_make_grouper(fsm.get()));
  ASSERT_EQ(vtm_object_error_code(g.get()), 0);
  EXPECT_EQ(g->fsm, fsm.get());
  // Expected labels from the tag table itself, in its order.
  std::vector<uint16_t> codes(fsm->tag_count);
  std::vector<char> text(64 * fsm->tag_count + 1);
  const int k = FsmListTags(fsm.get(), codes.data(), static_cast<int>(codes.size()), text.data(),
                            static_cast<int>(text.size()));
  ASSERT_EQ(k, 10);  // DT JJ NN VB and six brackets
  std::vector<std::string> expected;
  const char* name = text.data();
  uint32_t at = 0;
  for (int i = 0; i < k; ++i, name += std::strlen(name) + 1) {
    if (name[0] != '(' && name[0] != ')') continue;
    ASSERT_LT(at, g->label_count);
    EXPECT_EQ(g->labels[at].code, codes[static_cast<std::size_t>(i)]);
    EXPECT_EQ(g->labels[at].opens, name[0] == '(' ? 1 : 0);
    EXPECT_STREQ(g->labels[at].name, name + 1);
    ++at;
  }
  EXPECT_EQ(at, 6u);
  EXPECT_EQ(g->label_count, 6u);
}

// A transducer whose tag table holds `labels` bracket tags (and one plain tag).
FsmPtr WithLabels(int labels, const std::string& stem = "l") {
  Paths paths;
  for (int i = 0; i < labels; ++i) paths.push_back("+(" + stem + std::to_string(i) + " T");
  return BuildGrouping(paths);
}

TEST(MakeGrouper, HoldsAtMost256Labels) {
  FsmPtr full = WithLabels(256);
  GrouperPtr g(vtm_make_grouper(full.get()));
  ASSERT_EQ(vtm_object_error_code(g.get()), 0);
  EXPECT_EQ(g->label_count, 256u);
  FsmPtr over = WithLabels(257);
  EXPECT_EQ(vtm_object_error_code(vtm_make_grouper(over.get())), VTM_ERR_NO_MEMORY);
}

TEST(MakeGrouper, NamesMustFitTwentyBytesPerTag) {
  // Two tags with names of 19 and 20 bytes plus their zero bytes need 41 bytes of 40.
  FsmPtr fits = BuildGrouping({"+(" + std::string(17, 'a') + " B"});  // 18 + 1 + 2
  EXPECT_EQ(vtm_object_error_code(GrouperPtr(vtm_make_grouper(fits.get())).get()), 0);
  FsmPtr over = BuildGrouping({"+(" + std::string(18, 'a') + " " + std::string(20, 'b')});
  EXPECT_EQ(vtm_object_error_code(vtm_make_grouper(over.get())), VTM_ERR_NO_MEMORY);
}

}  // namespace
}  // namespace vtm::test
