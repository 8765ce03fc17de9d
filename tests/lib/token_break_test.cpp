// Token breaking over hand-built tokenizing networks: token texts and offsets with the
// all flag 0 and 1, the empty-token rule, incomplete and unrecognized input, the stack
// in the call's frame, and results that never reach into the walk's work half of the
// output buffer however many and long the tokens are.
#include <gtest/gtest.h>

#include "support/lookup_fixtures.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Strings = std::vector<std::string>;

struct Break {
  int rc = 0;
  Strings tokens;
  std::vector<int> offsets;
};

// Codes `text` with vtmEncodeByteString (coding mode 2 appends the end-of-text code; mode
// 3 codes the text alone) and breaks it with an output of `size` bytes.
Break BreakText(const VtmFsmRec* fsm, const std::string& text, int all, int size = 256,
                int coding_mode = 2, int capacity = 16) {
  auto* handle = const_cast<VtmFsmRec*>(fsm);
  char coded[1024];
  EXPECT_GE(vtmEncodeByteString(text.c_str(), coded, sizeof coded, coding_mode, handle), 0);
  std::vector<char> output(static_cast<std::size_t>(size) + 1, 'X');
  std::vector<int> offsets(static_cast<std::size_t>(capacity) + 1, -7);
  Break b;
  b.rc = vtmBreakByteStringToken(coded, output.data(), size, offsets.data(), capacity, all, handle);
  EXPECT_EQ(output[static_cast<std::size_t>(size)], 'X');
  EXPECT_EQ(offsets[static_cast<std::size_t>(capacity)], -7);
  std::size_t at = 0;
  for (int k = 0; k < b.rc; ++k) {
    b.tokens.emplace_back(output.data() + at);
    at += b.tokens.back().size() + 1;
    b.offsets.push_back(offsets[static_cast<std::size_t>(k)]);
  }
  return b;
}

// "ab" and a space (TB, final), then "c" (final) and "d" (final): three token ends.
FsmPtr WordsNet() {
  return BuildNet(
      {16, Lb(C('a')), Lb(C('b')), Lb(kTb, true), Lb(C('c'), true), Lb(C('d'), true), 0});
}

TEST(BreakToken, FirstAndAllTokenEnds) {
  FsmPtr fsm = WordsNet();
  Break first = BreakText(fsm.get(), "ab cd", 0);
  EXPECT_EQ(first.rc, 1);
  EXPECT_EQ(first.tokens, Strings{"ab "});
  EXPECT_EQ(first.offsets, std::vector<int>{3});
  Break all = BreakText(fsm.get(), "ab cd", 1);
  EXPECT_EQ(all.rc, 3);
  EXPECT_EQ(all.tokens, (Strings{"ab ", "ab ", "ab "}));
  EXPECT_EQ(all.offsets, (std::vector<int>{3, 3, 3}));
  // The offsets array bounds the token ends reported.
  EXPECT_EQ(BreakText(fsm.get(), "ab cd", 1, 256, 2, 2).rc, VTM_ERR_OUTPUT_TOO_LONG);
}

TEST(BreakToken, NoTokenIncompleteInputAndTheEmptyToken) {
  FsmPtr fsm = WordsNet();
  EXPECT_EQ(BreakText(fsm.get(), "c", 1).rc, VTM_ERR_UNRECOGNIZED_TOKEN);
  EXPECT_EQ(BreakText(fsm.get(), "ab", 1).rc, VTM_ERR_UNRECOGNIZED_TOKEN) << "end code read";
  EXPECT_EQ(BreakText(fsm.get(), "ab", 1, 256, 3).rc, VTM_ERR_INCOMPLETE_INPUT) << "no end code";
  // A final start state: the one accept gives the empty token, reported as 0.
  FsmPtr empty = BuildNet({Lb(kEps, true), Lb(C('a')), Lb(C('x'), true), 0});
  for (int all : {0, 1}) EXPECT_EQ(BreakText(empty.get(), "ab", all).rc, 0);
  // Two accepts, the first of them empty: both are reported.
  Break two = BreakText(empty.get(), "ax", 1);
  EXPECT_EQ(two.rc, 2);
  EXPECT_EQ(two.tokens, (Strings{"", ""}));
  EXPECT_EQ(two.offsets, (std::vector<int>{0, 0}));
}

TEST(BreakToken, ArgumentsAndTheSplitOutput) {
  FsmPtr fsm = WordsNet();
  char coded[64];
  ASSERT_GT(vtmEncodeByteString("ab c", coded, sizeof coded, 2, fsm.get()), 0);
  char out[64];
  int offsets[4];
  EXPECT_EQ(vtmBreakByteStringToken(coded, out, 64, offsets, 4, 2, fsm.get()),
            VTM_ERR_INVALID_FUNCTION);
  EXPECT_EQ(vtmBreakByteStringToken(coded, out, 64, offsets, 4, -1, fsm.get()),
            VTM_ERR_INVALID_FUNCTION);
  EXPECT_EQ(vtmBreakByteStringToken(coded, out, 64, offsets, 4, 1, nullptr), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmBreakByteStringToken(nullptr, out, 64, offsets, 4, 1, fsm.get()),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmBreakByteStringToken(coded, nullptr, 64, offsets, 4, 1, fsm.get()),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmBreakByteStringToken(coded, out, 64, nullptr, 4, 1, fsm.get()), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmBreakByteStringToken(coded, out, -2, offsets, 4, 1, fsm.get()),
            VTM_ERR_INVALID_NUMBER);
  // Output size 1: the work half is empty and the first written code fails.
  EXPECT_EQ(vtmBreakByteStringToken(coded, out, 1, offsets, 4, 1, fsm.get()),
            VTM_ERR_INTERNAL_BUFFER_TOO_SMALL);
  // The work half (4 bytes of 8) holds the three codes of "ab " and the NUL; the token
  // text needs 4 bytes of the first half.
  EXPECT_EQ(vtmBreakByteStringToken(coded, out, 8, offsets, 4, 0, fsm.get()), 1);
  EXPECT_STREQ(out, "ab ");
  EXPECT_EQ(vtmBreakByteStringToken(coded, out, 7, offsets, 4, 0, fsm.get()),
            VTM_ERR_INTERNAL_BUFFER_TOO_SMALL);
  compiler::TransducerSpec spec = LookupSpec({16, Lb(C('a'), true), 0});
  spec.functions[27] = kNoSubnet;
  EXPECT_EQ(vtmBreakByteStringToken(coded, out, 64, offsets, 4, 1, Build(spec).get()),
            VTM_ERR_INVALID_FUNCTION);
}

// Nested levels, each an epsilon arc whose second side x has more_bit (one pending
// alternative per level), around an innermost 0:z that is final.
std::vector<uint8_t> PendingLevels(int levels) {
  std::vector<uint8_t> net = {16};
  for (int k = 0; k < levels; ++k) Append(net, {Lb(kEps), Lb(C('x'), false, true)});
  Append(net, {Lb(kEps), Lb(C('z'), true), 0});
  for (int k = 0; k < levels; ++k) Append(net, {Lb(C('y')), 0});
  return net;
}

TEST(BreakToken, HundredStackEntriesInTheFrame) {
  EXPECT_EQ(BreakText(BuildNet(PendingLevels(99)).get(), "", 0, 1024).rc, 0);
  EXPECT_EQ(BreakText(BuildNet(PendingLevels(100)).get(), "", 0, 1024).rc, VTM_ERR_STACK_OVERFLOW);
}

TEST(BreakToken, ManyLongTokensNeverReachTheWorkHalf) {
  // Ten words of "abcdefghij " in a row; every space is final, so token k is the first k
  // words (11k bytes): 615 bytes of results in all, while the walk's path grows to 110
  // codes in the work half.
  std::vector<uint8_t> net = {16};
  std::string text;
  Strings expected;
  std::vector<int> offsets;
  for (int k = 1; k <= 10; ++k) {
    for (char c : std::string("abcdefghij")) net.push_back(Lb(C(c)));
    net.push_back(Lb(kTb, true));
    text += "abcdefghij ";
    expected.push_back(text);
    offsets.push_back(11 * k);
  }
  net.push_back(0);
  FsmPtr fsm = BuildNet(net);
  // 1230 bytes: a first half of 615 holds every token exactly.
  Break fits = BreakText(fsm.get(), text, 1, 1230);
  EXPECT_EQ(fits.rc, 10);
  EXPECT_EQ(fits.tokens, expected);
  EXPECT_EQ(fits.offsets, offsets);
  // 1228 bytes would hold the results in the whole buffer, but only by writing over the
  // work half: the results stay in the first half and the call reports -12.
  EXPECT_EQ(BreakText(fsm.get(), text, 1, 1228).rc, VTM_ERR_OUTPUT_TOO_LONG);
  for (int size : {700, 900, 1000}) {
    EXPECT_EQ(BreakText(fsm.get(), text, 1, size).rc, VTM_ERR_OUTPUT_TOO_LONG) << size;
  }
  // The first token alone fits a small buffer.
  EXPECT_EQ(BreakText(fsm.get(), text, 0, 240).tokens, Strings{expected[0]});
}

}  // namespace
}  // namespace vtm
