// vtm_lookup_with_transduction and vtmLookupByteString: argument checks, the modes'
// functions and walks, the client dictionary, alphabet errors, growing scratch, and the
// bound on that growth. Also the lookup buffer's layout and accessors.
#include <gtest/gtest.h>

#include <thread>

#include "lookup/lookup_buffer.h"
#include "support/lookup_fixtures.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Strings = std::vector<std::string>;

// EOS read as input and written as nothing (EOS:0), ending final.
void EosExit(std::vector<uint8_t>& net) {
  Append(net, {Lb(kEos), Lb(kNid), Lb(kEps, true), 0});
}

// Subnet 0 (functions 12, 1) maps "ab" to "xb" and "ba" to "yb"; subnet 1 (functions 27,
// 28) maps "ab" to "zb" and "wb". Function 23 (subnet 1) absent unless asked for.
FsmPtr TwoSubnets(bool with23) {
  std::vector<uint8_t> net = {16, Lb(C('a'), false, true), Lb(kNid), Lb(C('x')), Lb(C('b'))};
  EosExit(net);
  Append(net, {Lb(C('b')), Lb(kNid), Lb(C('y')), Lb(C('a'))});
  EosExit(net);
  net.resize(32, 0);
  Append(net, {16, Lb(C('a')), Lb(kNid), Lb(C('z'), false, true), Lb(C('b'))});
  EosExit(net);
  Append(net, {Lb(C('w')), Lb(C('b'))});
  EosExit(net);
  compiler::TransducerSpec spec = LookupSpec(net);
  spec.subnets.push_back({32, kFirstChar, kInstr, 0, {}});
  spec.functions[27 - 1] = 1;
  spec.functions[28 - 1] = 1;
  if (with23) spec.functions[23 - 1] = 1;
  return Build(spec);
}

TEST(LookupApi, ModesChooseFunctionAndWalk) {
  FsmPtr fsm = TwoSubnets(false);
  EXPECT_EQ(LookupText(fsm.get(), "ab", 2).results, Strings{"xb"});
  EXPECT_EQ(LookupText(fsm.get(), "ba", 2).results, Strings{"ya"});
  EXPECT_EQ(LookupText(fsm.get(), "ab", 3).results, (Strings{"zb", "wb"}));
  EXPECT_EQ(LookupText(fsm.get(), "ab", 5).results, Strings{"zb"});
  EXPECT_EQ(LookupText(fsm.get(), "ab", 7).results, Strings{"zb"});
  EXPECT_EQ(LookupText(fsm.get(), "ab", 11).results, Strings{"zb"});
  // Generation: the inverse walk, no end code; function 23, else 12.
  EXPECT_EQ(LookupText(fsm.get(), "xb", 8).results, Strings{"ab"});
  EXPECT_EQ(LookupText(fsm.get(), "zb", 8).rc, 0);
  EXPECT_EQ(LookupText(TwoSubnets(true).get(), "zb", 8).results, Strings{"ab"});
  EXPECT_EQ(LookupText(fsm.get(), "wb", 9).results, Strings{"ab"});
  for (int mode : {0, 1, 4, 6, 10, 12, -2}) {
    EXPECT_EQ(LookupText(fsm.get(), "ab", mode).rc, VTM_ERR_INVALID_FUNCTION) << mode;
  }
  // Tags are read in modes 2 and 8 only.
  EXPECT_EQ(LookupText(fsm.get(), "a[Noun]", 2).rc, 0);
  EXPECT_EQ(LookupText(fsm.get(), "a[Nou", 2).rc, VTM_ERR_INCOMPLETE_TAG);
  EXPECT_EQ(LookupText(fsm.get(), "a[Nou", 3).rc, 0) << "'[' is outside the alphabet";
}

TEST(LookupApi, ArgumentsAlphabetAndMissingFunctions) {
  FsmPtr fsm = TwoSubnets(false);
  char out[64];
  EXPECT_EQ(vtmLookupByteString(nullptr, out, 64, 2, fsm.get()), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmLookupByteString("ab", nullptr, 64, 2, fsm.get()), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmLookupByteString("ab", out, 64, 2, nullptr), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmLookupByteString("ab", out, -1, 2, fsm.get()), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_lookup_with_transduction("ab", -1, out, 64, 2, fsm.get(), nullptr, 0),
            VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtmLookupByteString("ab", out, 64, 2, static_cast<VtmFsm>(vtm_error_object(-5))),
            VTM_ERR_INVALID_FSM);
  // Outside the alphabet: no results, except in mode 11.
  EXPECT_EQ(vtmLookupByteString("a1", out, 64, 2, fsm.get()), 0);
  EXPECT_EQ(vtmLookupByteString("a1", out, 64, 11, fsm.get()), VTM_ERR_CHAR_NOT_IN_ALPHABET);
  // A given length reads exactly that many bytes.
  EXPECT_EQ(vtm_lookup_with_transduction("ab1", 2, out, 64, 2, fsm.get(), nullptr, 0), 1);
  EXPECT_STREQ(out, "xb");
  // A result that does not fit.
  EXPECT_EQ(vtmLookupByteString("ab", out, 1, 2, fsm.get()), VTM_ERR_OUTPUT_TOO_LONG);
  // A function the transducer lacks.
  compiler::TransducerSpec spec = LookupSpec({16, 0});
  spec.functions[27 - 1] = kNoSubnet;
  FsmPtr no27 = Build(spec);
  EXPECT_EQ(vtmLookupByteString("ab", out, 64, 3, no27.get()), VTM_ERR_INVALID_FUNCTION);
  EXPECT_EQ(vtmLookupByteString("ab", out, 64, 2, no27.get()), 0);
}

TEST(LookupApi, ClientDictionaryAnswersFirst) {
  FsmPtr fsm = TwoSubnets(false);
  VtmClientDict dict = vtm_make_client_dict(0, 0);
  ASSERT_EQ(vtm_add_entry("ab", "own[Tag]", 0, dict), 0);
  EXPECT_EQ(LookupText(fsm.get(), "ab", 2, dict).results, Strings{"own[Tag]"});
  EXPECT_EQ(LookupText(fsm.get(), "ab", 3, dict).results, Strings{"own"});
  EXPECT_EQ(LookupText(fsm.get(), "ab", 5, dict).results, Strings{"zb"}) << "not consulted";
  EXPECT_EQ(LookupText(fsm.get(), "ba", 2, dict).results, Strings{"ya"}) << "no entry";
  char out[64];
  EXPECT_EQ(vtm_lookup_with_transduction("abc", 2, out, 64, 2, fsm.get(), dict, 0), 1);
  EXPECT_STREQ(out, "own[Tag]") << "a counted input is copied for the dictionary";
  vtm_free_client_dict(dict);
}

// a* followed by EOS: every word of a's, the output equal to the input.
FsmPtr Loop() {
  compiler::TransducerSpec spec = LookupSpec({16, Lb(C('a'), false, true), 1});
  EosExit(spec.network);
  spec.near_states = {1};
  return Build(spec);
}

TEST(LookupApi, ScratchGrowsForLongInputs) {
  FsmPtr fsm = Loop();
  std::vector<char> out(4096);
  for (int n : {100, 128, 129, 300, 1000}) {
    const std::string word(static_cast<std::size_t>(n), 'a');
    // NUL-terminated: starts from the frame and doubles as coding runs out of room.
    EXPECT_EQ(vtmLookupByteString(word.c_str(), out.data(), 4096, 3, fsm.get()), 1) << n;
    EXPECT_EQ(std::string(out.data()), word);
    // Counted: inputs over 128 bytes start on the heap.
    EXPECT_EQ(
        vtm_lookup_with_transduction(word.c_str(), n, out.data(), 4096, 3, fsm.get(), nullptr, 0),
        1)
        << n;
  }
  // More than 99 pending alternatives succeed after doubling the stack.
  std::vector<uint8_t> net = {16};
  for (int k = 0; k < 150; ++k) Append(net, {Lb(kEps), Lb(C('x'), false, true)});
  Append(net, {Lb(kEps), Lb(C('z'))});
  EosExit(net);
  for (int k = 0; k < 150; ++k) Append(net, {Lb(C('y'), true), 0});
  FsmPtr deep = BuildNet(net);
  std::vector<char> big(1 << 16);
  EXPECT_EQ(vtmLookupByteString("", big.data(), 1 << 16, 3, deep.get()), 1);
  EXPECT_EQ(std::string(big.data()), std::string(150, 'x') + "z");
}

TEST(LookupApi, EpsilonCycleStopsAtTheGrowthBound) {
  // A state whose first arc is 0:0 with more_bit looping back to the state itself: every
  // attempt fills the stack. Growth stops with VTM_ERR_NO_MEMORY.
  compiler::TransducerSpec spec = LookupSpec({16, Lb(kEps, false, true), Lb(kEps), 1});
  EosExit(spec.network);
  spec.near_states = {1};
  FsmPtr fsm = Build(spec);
  char out[64];
  EXPECT_EQ(vtmLookupByteString("", out, 64, 3, fsm.get()), VTM_ERR_NO_MEMORY);
  // The same cycle writing output fills the work buffer instead.
  spec.network[2] = Lb(C('x'));
  fsm = Build(spec);
  EXPECT_EQ(vtmLookupByteString("", out, 64, 3, fsm.get()), VTM_ERR_NO_MEMORY);
}

TEST(LookupApi, ThreadsShareOneTransducer) {
  FsmPtr fsm = TwoSubnets(false);
  const VtmFsm shared = fsm.get();
  auto work = [shared](int* mismatches) {
    char out[64];
    for (int k = 0; k < 2000; ++k) {
      const bool even = k % 2 == 0;
      const int r = vtmLookupByteString(even ? "ab" : "ba", out, 64, 2, shared);
      if (r != 1 || std::string(out) != (even ? "xb" : "ya")) ++*mismatches;
    }
  };
  int first = 0;
  int second = 0;
  std::thread a(work, &first);
  std::thread b(work, &second);
  a.join();
  b.join();
  EXPECT_EQ(first + second, 0);
}

TEST(LookupBuffer, LayoutAndAccessors) {
  for (int n : {0, 1, 7, 8, 9}) {
    VtmLookupBuffer b = vtmMakeLookupBuffer(n, 2 * n, 3, 0, 0, 77);
    ASSERT_EQ(vtm_object_error_code(b), 0);
    const auto base = reinterpret_cast<uintptr_t>(b);
    const auto in = reinterpret_cast<uintptr_t>(b->coded_input);
    const auto out = reinterpret_cast<uintptr_t>(b->coded_output);
    const auto stack = reinterpret_cast<uintptr_t>(b->stack);
    EXPECT_EQ(in - base, LookupBufferArea(sizeof(VtmLookupBufferRec)));
    EXPECT_EQ(out - in, static_cast<uintptr_t>((n + 8) & ~7));
    EXPECT_EQ(stack - out, static_cast<uintptr_t>((2 * n + 8) & ~7));
    EXPECT_EQ(stack % 8, 0u);
    EXPECT_EQ(b->coded_input_size, static_cast<uint32_t>(n));
    EXPECT_EQ(b->stack_entries, 3u);
    EXPECT_EQ(b->client_data, 77u);
    EXPECT_EQ(b->open_char, '[');
    EXPECT_EQ(b->close_char, ']');
    EXPECT_EQ(vtmLookupBufferCursor(b), 0);
    EXPECT_EQ(vtmLookupBufferResultCount(b), 0);
    vtmSetTagEnclosureChars(b, '<', '>');
    EXPECT_EQ(b->open_char, '<');
    EXPECT_EQ(b->close_char, '>');
    vtmFreeLookupBuffer(b);
  }
  EXPECT_EQ(LookupBufferArea(72), 80u);
  EXPECT_EQ(vtm_object_error_code(vtmMakeLookupBuffer(-1, 8, 8, 0, 0, 0)), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_object_error_code(vtmMakeLookupBuffer(8, 8, 2147483647, 0, 0, 0)),
            VTM_ERR_NO_MEMORY);
  EXPECT_EQ(vtmLookupBufferCursor(nullptr), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmLookupBufferResultCount(static_cast<VtmLookupBuffer>(vtm_error_object(-3))),
            VTM_ERR_NO_MEMORY);
  vtmFreeLookupBuffer(nullptr);
  vtmSetTagEnclosureChars(nullptr, 1, 2);
}

}  // namespace
}  // namespace vtm
