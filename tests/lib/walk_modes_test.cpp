// Output modes of the lookup walk: recognize, raw and decoded results with duplicates
// dropped, first, shortest with its score rule, the token cut, and invalid modes.
#include <gtest/gtest.h>

#include "support/lookup_fixtures.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Strings = std::vector<std::string>;

WalkOptions Mode(int mode) {
  WalkOptions options;
  options.mode = mode;
  return options;
}

// From the start, epsilon arcs (each but the last with more_bit) whose second sides
// spell the given outputs (each ends final).
std::vector<uint8_t> Outputs(const std::vector<std::vector<uint8_t>>& outputs) {
  std::vector<uint8_t> net = {16};
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    net.push_back(Lb(kEps, false, k + 1 < outputs.size()));
    for (std::size_t j = 0; j < outputs[k].size(); ++j) {
      const bool last = j + 1 == outputs[k].size();
      // The first code is the second side; the rest are identity arcs on no input, so
      // they are written as second sides of further epsilon arcs.
      if (j > 0) net.push_back(Lb(kEps));
      net.push_back(Lb(outputs[k][j], last));
    }
    net.push_back(0);
  }
  return net;
}

std::vector<uint8_t> Word(const std::string& w) {
  std::vector<uint8_t> codes;
  for (char c : w) codes.push_back(C(c));
  return codes;
}

TEST(WalkModes, DuplicatesAreDropped) {
  FsmPtr fsm = BuildNet(Outputs({Word("ab"), Word("c"), Word("ab"), Word("c")}));
  EXPECT_EQ(Lookup(fsm.get(), Codes("")).results, (Strings{"ab", "c"}));
  WalkRun raw = Lookup(fsm.get(), Codes(""), Mode(kOutRaw));
  EXPECT_EQ(raw.rc, 2);
  EXPECT_EQ(raw.results[0], std::string({static_cast<char>(C('a')), static_cast<char>(C('b'))}));
  EXPECT_EQ(Lookup(fsm.get(), Codes(""), Mode(kOutRecognize)).rc, 1);
  EXPECT_EQ(Lookup(fsm.get(), Codes(""), Mode(kOutFirst)).results, Strings{"ab"});
  // A result that does not fit the client buffer: -12. A duplicate is decoded after the
  // kept results before it is recognized, so it needs that room too.
  WalkOptions small;
  small.client_size = 8;
  EXPECT_EQ(Lookup(fsm.get(), Codes(""), small).rc, 2) << "ab NUL c NUL, room for ab NUL";
  small.client_size = 7;
  EXPECT_EQ(Lookup(fsm.get(), Codes(""), small).rc, VTM_ERR_OUTPUT_TOO_LONG);
  small.client_size = 3;
  EXPECT_EQ(Lookup(fsm.get(), Codes(""), small).rc, VTM_ERR_OUTPUT_TOO_LONG);
  small.mode = kOutRaw;
  EXPECT_EQ(Lookup(fsm.get(), Codes(""), small).rc, VTM_ERR_OUTPUT_TOO_LONG);
}

TEST(WalkModes, InvalidModesFailAtTheFirstAccept) {
  FsmPtr fsm = BuildNet(Outputs({Word("a")}));
  for (int mode : {3, 8, -1}) {
    EXPECT_EQ(Lookup(fsm.get(), Codes(""), Mode(mode)).rc, VTM_ERR_INVALID_FUNCTION) << mode;
    EXPECT_EQ(Lookup(fsm.get(), Codes("b"), Mode(mode)).rc, 0) << "no accept, no error";
  }
}

TEST(WalkModes, ShortestKeepsTheFirstOfEqualScores) {
  FsmPtr fsm = BuildNet(Outputs({Word("abc"), Word("de"), Word("fg"), Word("hij")}));
  EXPECT_EQ(Lookup(fsm.get(), Codes(""), Mode(kOutShortest)).results, Strings{"de"});
  // A tag scores 2 plus its name's length: [Noun] (6) beats 7 letters, ties with 6.
  FsmPtr tags = BuildNet(Outputs({Word("abcdefg"), {kSep, kNoun, kSep}, Word("abcdef")}));
  EXPECT_EQ(Lookup(tags.get(), Codes(""), Mode(kOutShortest)).results, Strings{"[Noun]"});
  // An escaped tag ([Pl], 4) beats a 5-letter word; escapes count nothing.
  FsmPtr escaped = BuildNet(Outputs({Word("abcde"), {kSep, kEsc, kNoun, kSep}}));
  EXPECT_EQ(Lookup(escaped.get(), Codes(""), Mode(kOutShortest)).results, Strings{"[Pl]"});
  FsmPtr capital = BuildNet(Outputs({Word("ab"), {kEsc, C('c')}}));
  EXPECT_EQ(Lookup(capital.get(), Codes(""), Mode(kOutShortest)).results, Strings{"C"});
}

// Token networks: "ab" TB then one look-ahead letter c (final), and deeper "ab" TB c d.
FsmPtr TokenNet() {
  return BuildNet({16, Lb(C('a')), Lb(C('b')), Lb(kTb), Lb(C('c'), true), Lb(C('d'), true), 0});
}

TEST(WalkModes, TokenCutGivesBackTheLookAhead) {
  FsmPtr fsm = TokenNet();
  const std::vector<uint8_t> input = {C('a'), C('b'), kTb, C('c'), C('d'), C('e'), 0};
  WalkOptions first = Mode(kOutTokenFirst);
  first.partial = true;
  WalkRun one = Lookup(fsm.get(), input, first);
  EXPECT_EQ(one.rc, 1);
  EXPECT_EQ(one.results, Strings{"ab "});
  EXPECT_EQ(one.offsets, std::vector<int>{3});
  // Mode 7 goes on from the accept with the input index before the cut, so the deeper
  // path (c d) is matched against the input that follows, as for any other accept.
  WalkOptions all = Mode(kOutTokenAll);
  all.partial = true;
  WalkRun both = Lookup(fsm.get(), input, all);
  EXPECT_EQ(both.rc, 2);
  EXPECT_EQ(both.results, (Strings{"ab ", "ab "}));
  EXPECT_EQ(both.offsets, (std::vector<int>{3, 3}));
  // The offsets array bounds the count.
  all.offsets_capacity = 1;
  EXPECT_EQ(Lookup(fsm.get(), input, all).rc, VTM_ERR_OUTPUT_TOO_LONG);
}

TEST(WalkModes, TokenCutWithoutBoundaryOrWithEscapedOne) {
  WalkOptions all = Mode(kOutTokenAll);
  all.partial = true;
  FsmPtr plain = BuildNet({16, Lb(C('a')), Lb(C('b'), true), 0});
  WalkRun run = Lookup(plain.get(), Codes("abc"), all);
  EXPECT_EQ(run.results, Strings{""});
  EXPECT_EQ(run.offsets, std::vector<int>{0});
  // An escaped TB is no boundary (escapes before the symbol) ...
  FsmPtr before = BuildNet({16, Lb(C('a')), Lb(kEsc), Lb(kTb), Lb(C('b'), true), 0});
  run = Lookup(before.get(), {C('a'), kEsc, kTb, C('b'), 0}, all);
  EXPECT_EQ(run.offsets, std::vector<int>{0});
  // ... nor, with escapes after the symbol, a TB followed by an escape.
  compiler::TransducerSpec spec = LookupSpec(
      {16, Lb(C('a')), Lb(kTb), Lb(kEsc), Lb(C('b'), true), Lb(kTb), Lb(C('c'), true), 0});
  spec.header.code_flags = kCodeEscAfter;
  FsmPtr after = Build(spec);
  run = Lookup(after.get(), {C('a'), kTb, kEsc, C('b'), kTb, C('c'), 0}, all);
  EXPECT_EQ(run.offsets, (std::vector<int>{0, 5}));
  EXPECT_EQ(run.results[1], std::string("a") + static_cast<char>('?') + "b ");
}

}  // namespace
}  // namespace vtm
