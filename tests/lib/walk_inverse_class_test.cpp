// The inverse walk (input matched against second sides) and the class walk (tag chains
// after a matched tag separator).
#include <gtest/gtest.h>

#include "support/lookup_fixtures.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Strings = std::vector<std::string>;

TEST(WalkInverse, GeneratesFirstSides) {
  // a:x (and a:a going on to b) as in the lookup test, read the other way.
  FsmPtr fsm = BuildNet(
      {16, Lb(C('a'), true), Lb(kNid, false, true), Lb(C('x'), true), 0, Lb(C('b'), true), 0});
  EXPECT_EQ(Inverse(fsm.get(), Codes("x")).results, Strings{"a"});
  EXPECT_EQ(Inverse(fsm.get(), Codes("a")).results, Strings{"a"});
  EXPECT_EQ(Inverse(fsm.get(), Codes("ab")).results, Strings{"ab"});
  EXPECT_EQ(Inverse(fsm.get(), Codes("b")).rc, 0);
  // An input exhausted before an accepting state gives nothing (no partial flag).
  EXPECT_EQ(Inverse(fsm.get(), Codes("")).rc, 0);
  WalkOptions partial;
  partial.partial = true;
  EXPECT_EQ(Inverse(fsm.get(), Codes(""), partial).rc, 0) << "the inverse walk has no partial flag";
  // Epsilon:x read backwards consumes x; a:0 writes a without input.
  FsmPtr insertion = BuildNet({16, Lb(kEps), Lb(C('x')), Lb(C('a'), true), 0});
  EXPECT_EQ(Inverse(insertion.get(), Codes("xa")).results, Strings{"a"});
  FsmPtr deletion = BuildNet({16, Lb(C('a')), Lb(kNid), Lb(kEps), Lb(C('b'), true), 0});
  EXPECT_EQ(Inverse(deletion.get(), Codes("b")).results, Strings{"ab"});
  // Only the decoded mode is supported.
  WalkOptions raw;
  raw.mode = kOutRaw;
  EXPECT_EQ(Inverse(fsm.get(), Codes("x"), raw).rc, VTM_ERR_INVALID_FUNCTION);
}

TEST(WalkInverse, DeletionWithAlternativesAndTables) {
  // a:0 or a:a after the nid_label: both readings of input "b" / "ab".
  FsmPtr fsm = BuildNet({16, Lb(C('a')), Lb(kNid, false, true), Lb(kEps, false, true),
                         Lb(C('b'), true), 0, Lb(kEps, true), 0, Lb(C('b'), true), 0});
  EXPECT_EQ(Inverse(fsm.get(), Codes("b")).results, Strings{"ab"});
  EXPECT_EQ(Inverse(fsm.get(), Codes("")).results, Strings{"a"});
  EXPECT_EQ(Inverse(fsm.get(), Codes("ab")).results, Strings{"ab"});
  // A first-side generic table: its entries are written and compared with the input.
  std::vector<uint8_t> net = {16, Lb(kTable), 1, 0};
  Append(net, {Lb(C('x'), true, true), 0, 0, 0, Lb(C('y'), true), 0});
  compiler::TransducerSpec spec = LookupSpec(net);
  spec.near_states = {4};
  FsmPtr table = Build(spec);
  EXPECT_EQ(Inverse(table.get(), Codes("y")).results, Strings{"y"});
  EXPECT_EQ(Inverse(table.get(), Codes("x")).results, Strings{"x"});
  EXPECT_EQ(Inverse(table.get(), Codes("z")).rc, 0);
}

TEST(WalkClass, ChainsAfterTheTagSeparator) {
  // "ab" then the separator; alternatives: Noun x y (final at j = 0 and 2) and Verb.
  FsmPtr fsm = BuildNet({16, Lb(C('a')), Lb(C('b')), Lb(kSep), Lb(kNoun, true, true), Lb(C('x')),
                         Lb(C('y'), true), 0, Lb(kVerb, true), 0});
  const uint16_t noun = kNoun / 4;
  const uint16_t verb = kVerb / 4;
  ClassRun run = Classes(fsm.get(), {C('a'), C('b'), kSep, 0});
  EXPECT_EQ(run.rc, 3);
  EXPECT_EQ(run.values, (std::vector<uint16_t>{noun, static_cast<uint16_t>(noun + 128), verb}));
  EXPECT_EQ(Classes(fsm.get(), {C('a'), C('b'), kSep, 0}, 2).rc, VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(Classes(fsm.get(), {C('a'), C('b'), 0}).rc, VTM_ERR_INCOMPLETE_INPUT);
  EXPECT_EQ(Classes(fsm.get(), {C('a'), C('c'), kSep, 0}).rc, 0);
}

TEST(WalkClass, TablesEpsilonsAndOperands) {
  // After an epsilon arc and a flag operand, the separator leads to a generic table
  // (Noun, a filler, Verb) whose Verb entry is replaced by an exception Verb z (final).
  std::vector<uint8_t> net = {16,
                              Lb(kEps),
                              Lb(kInstr),
                              Op(0, 1),
                              Lb(C('a')),
                              Lb(kSep),
                              Lb(kTable, false, true),
                              1,
                              Lb(kVerb, false, true),
                              Lb(C('z'), true),
                              0};
  net.resize(16, 0);
  Append(net,
         {Lb(kNoun, true, true), 0, 0, 0, Lb(kTable, false, true), 0, 0, 0, Lb(kVerb, true), 0});
  compiler::TransducerSpec spec = LookupSpec(net);
  spec.near_states = {16};
  FsmPtr fsm = Build(spec);
  ClassRun run = Classes(fsm.get(), {C('a'), kSep, 0});
  EXPECT_EQ(run.values, (std::vector<uint16_t>{kNoun / 4, kVerb / 4 + 64}));
}

}  // namespace
}  // namespace vtm
