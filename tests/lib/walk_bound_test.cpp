// Walks over damaged networks end and say so: the step bound (one count for all the
// retries of a lookup; since the last result for expansion) and the walk that leaves the
// network (a reference beyond its state table, a location past the end), reported as
// VTM_ERR_BAD_FILE instead of an answer with results missing.
#include <gtest/gtest.h>

#include "lookup/expand_walk.h"
#include "lookup/network.h"
#include "support/expand_fixtures.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Strings = std::vector<std::string>;

// A start state whose first arc is an epsilon with more_bit and an epsilon second side
// whose target is the start state again: every round pushes one entry.
FsmPtr PushingLoop() {
  compiler::TransducerSpec spec = LookupSpec({16, Lb(kEps, false, true), Lb(kEps), 1, 0});
  spec.near_states = {0};
  return Build(spec);
}

// An epsilon arc whose second side x leads back to the arc: every round writes one code
// and pushes nothing, so each attempt fills its work buffer, and lookup doubles the
// scratch and tries again.
FsmPtr WritingLoop() {
  compiler::TransducerSpec spec = LookupSpec({16, Lb(kEps), Lb(C('x')), 1});
  spec.near_states = {1};
  return Build(spec);
}

TEST(WalkBound, RetriesOfOneLookupShareOneBound) {
  FsmPtr fsm = WritingLoop();
  // One attempt alone stays below the bound: it stops for lack of room.
  EXPECT_EQ(Lookup(fsm.get(), Codes("a")).rc, VTM_ERR_INTERNAL_BUFFER_TOO_SMALL);
  // The lookup's attempts (256, 512, 1024, ... coded bytes) add up to the bound long
  // before the scratch reaches its growth limit (which gives VTM_ERR_NO_MEMORY). The
  // lookup modes: the inverse walk reads x as input and ends at once.
  for (int mode : {2, 3, 5, 7, 11}) {
    EXPECT_EQ(LookupText(fsm.get(), "a", mode).rc, VTM_ERR_WALK_LIMIT) << "mode " << mode;
  }
}

TEST(WalkBound, AnExplicitBoundCountsFromTheStepsAlreadySpent) {
  FsmPtr fsm = PushingLoop();
  std::vector<uint8_t> input = Codes("a");
  std::vector<uint8_t> work(256);
  std::vector<VtmBacktrackEntry> stack(100000);
  std::vector<char> client(256);
  WalkArgs args;
  args.input = input.data();
  args.work = work.data();
  args.work_size = 256;
  args.stack = stack.data();
  args.stack_entries = 100000;
  args.client = client.data();
  args.client_size = 256;
  args.step_limit = 1000;
  uint64_t spent = 0;
  args.steps_spent = &spent;
  EXPECT_EQ(LookupWalk(fsm.get(), args), VTM_ERR_WALK_LIMIT);
  // With 990 steps already spent, 10 more reach the bound; a smaller stack that
  // overflows first records what it spent.
  spent = 990;
  args.stack_entries = 4;
  EXPECT_EQ(LookupWalk(fsm.get(), args), VTM_ERR_STACK_OVERFLOW);
  EXPECT_GT(spent, 990u);
  EXPECT_LT(spent, 1000u);
  args.stack_entries = 100000;
  EXPECT_EQ(LookupWalk(fsm.get(), args), VTM_ERR_WALK_LIMIT);
}

// Two symbol arcs, a and b, each leading back to the start: every word over {a, b}.
// With `final` the words are results; without, none is, and the walk enumerates 2^n
// paths of length below the maximum n without ever accepting.
FsmPtr AbLoop(bool final) {
  compiler::TransducerSpec spec =
      LookupSpec({16, Lb(C('a'), final, true), 1, Lb(C('b'), final), 1});
  spec.near_states = {0};
  return Build(spec);
}

TEST(WalkBound, ExpansionWithoutResultsEnds) {
  // 2^60 paths, none accepted: without the bound the call would not return.
  FsmPtr fsm = AbLoop(false);
  ExpandCall call;
  call.max_length = 60;
  call.coded_output = 128;
  call.stack_entries = 128;
  std::vector<Page> pages = ExpandPages(fsm.get(), "", call, 4096);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].rc, VTM_ERR_WALK_LIMIT);
}

TEST(WalkBound, ExpansionCountsStepsSinceTheLastResult) {
  // Every word over {a, b} shorter than 13 letters: 8190 results, far more steps than
  // the bound of the 5-byte network, but never many between two results.
  FsmPtr fsm = AbLoop(true);
  ExpandCall call;
  call.max_length = 13;
  std::vector<std::string> words = Concatenate(ExpandPages(fsm.get(), "", call, 1 << 16));
  ASSERT_EQ(words.size(), 8190u);
  // Reference: every word of length 1..12 in the walk's order (a before b, a word before
  // its extensions).
  std::vector<std::string> expected;
  std::vector<std::string> stack = {"b", "a"};
  while (!stack.empty()) {
    std::string w = stack.back();
    stack.pop_back();
    expected.push_back(w);
    if (w.size() < 12) {
      stack.push_back(w + "b");
      stack.push_back(w + "a");
    }
  }
  EXPECT_EQ(words, expected);
}

TEST(WalkBound, AnExpansionTakesAnExplicitBound) {
  // Words over {a, b} below 8 letters, none accepted: 255 paths, a few hundred steps,
  // far below the default bound; an explicit bound of 100 stops the listing.
  FsmPtr fsm = AbLoop(false);
  VtmLookupBuffer buffer = vtmMakeLookupBuffer(64, 64, 64, 0, 0, 0);
  char output[256];
  EXPECT_EQ(ExpandPartialWord("", output, sizeof output, buffer, 0, 0, 8, false, fsm.get()), 0);
  EXPECT_EQ(ExpandPartialWord("", output, sizeof output, buffer, 0, 0, 8, false, fsm.get(), 100000),
            0);
  EXPECT_EQ(ExpandPartialWord("", output, sizeof output, buffer, 0, 0, 8, false, fsm.get(), 100),
            VTM_ERR_WALK_LIMIT);
  vtmFreeLookupBuffer(buffer);
}

TEST(WalkBound, AWalkThatLeavesTheNetworkIsADamagedFile) {
  struct Case {
    const char* what;
    std::vector<uint8_t> network;
  };
  // "a" is answered on every one of them; "b" leads out of the network.
  const Case cases[] = {
      {"near reference beyond its table", {16, Lb(C('a'), true, true), 0, Lb(C('b')), 5}},
      {"absolute reference past the end", {16, Lb(C('a'), true, true), 0, Lb(C('b')), 12, 0, 200}},
      {"network ends after a label", {16, Lb(C('a'), true, true), 0, Lb(C('b'))}},
  };
  int compared = 0;
  for (const Case& c : cases) {
    compiler::TransducerSpec spec = LookupSpec(c.network);
    spec.near_states = {0};
    FsmPtr fsm = Build(spec);
    EXPECT_EQ(Lookup(fsm.get(), Codes("a")).results, Strings{"a"}) << c.what;
    EXPECT_EQ(Lookup(fsm.get(), Codes("b")).rc, VTM_ERR_BAD_FILE) << c.what;
    EXPECT_EQ(Inverse(fsm.get(), Codes("b")).rc, VTM_ERR_BAD_FILE) << c.what;
    EXPECT_EQ(LookupText(fsm.get(), "b", 3).rc, VTM_ERR_BAD_FILE) << c.what;
    ++compared;
  }
  EXPECT_EQ(compared, 3);
  // A start state beyond the network: nothing can be answered.
  compiler::TransducerSpec spec = LookupSpec({3});  // a near reference beyond the table
  spec.near_states = {0};
  EXPECT_EQ(Lookup(Build(spec).get(), Codes("a")).rc, VTM_ERR_BAD_FILE);
}

// The work of a walk beyond its arrivals and backtracks counts toward the bound too: a
// damaged network can make one step cost up to the whole network (a subtree skip, up to
// kMaxAlternatives times) or the whole path (an accept decodes it).

// Runs the lookup walk on `input` with the given bound (0: the default) and work buffer;
// `spent` receives the work counted when the walk ends without reaching the bound.
int BoundedLookup(const VtmFsmRec* fsm, const std::string& input, uint64_t step_limit,
                  uint32_t work_size, uint64_t* spent) {
  std::vector<uint8_t> codes = Codes(input);
  std::vector<uint8_t> work(work_size);
  std::vector<VtmBacktrackEntry> stack(100);
  std::vector<char> client(256);
  WalkArgs args;
  args.input = codes.data();
  args.work = work.data();
  args.work_size = work_size;
  args.stack = stack.data();
  args.stack_entries = 100;
  args.client = client.data();
  args.client_size = 256;
  args.step_limit = step_limit;
  args.steps_spent = spent;
  return LookupWalk(fsm, args);
}

// A start state with one arc, a, whose subtree is a chain of `chain` labels; the
// reference after the subtree, where a's next alternative would begin, leads back to a.
// Seeking any other symbol skips the subtree kMaxAlternatives times in one step.
FsmPtr AlternativesInACircle(int chain) {
  std::vector<uint8_t> network = {16, Lb(C('a'), false, true)};
  network.insert(network.end(), static_cast<std::size_t>(chain), Lb(C('c')));
  Append(network, {0, 1});
  compiler::TransducerSpec spec = LookupSpec(network);
  spec.near_states = {1};
  return Build(spec);
}

TEST(WalkBound, SkippedBytesCountTowardTheBound) {
  // One seek reads kMaxAlternatives * 4002 bytes, more than the default bound of the
  // 4004-byte network for one or two input codes (16 * (4004 + 65536) * 3); a walk that counted
  // only its two steps would read them all and answer "no result".
  FsmPtr fsm = AlternativesInACircle(4000);
  const uint64_t skip = 4002;
  ASSERT_GT(kMaxAlternatives * skip, DefaultStepLimit(fsm->header.network_size, 2));
  EXPECT_EQ(Lookup(fsm.get(), Codes("b")).rc, VTM_ERR_WALK_LIMIT);
  EXPECT_EQ(LookupText(fsm.get(), "b", 3).rc, VTM_ERR_WALK_LIMIT);
  // An explicit bound below one circle's skips stops the walk; with room for them the
  // walk ends with no result, having counted every skipped byte and its two steps.
  uint64_t spent = 0;
  EXPECT_EQ(BoundedLookup(fsm.get(), "b", 100 * skip, 256, &spent), VTM_ERR_WALK_LIMIT);
  EXPECT_EQ(BoundedLookup(fsm.get(), "b", 2000 * skip, 256, &spent), 0);
  EXPECT_EQ(spent, kMaxAlternatives * skip + 2);
}

// An epsilon:esc arc at a final state that leads back to itself: every round writes one
// escape and accepts the path, which decodes to the empty string (an escape alone writes
// nothing), a duplicate of the first result. Each accept reads the whole path.
FsmPtr GrowingAcceptedPath() {
  compiler::TransducerSpec spec = LookupSpec({16, Lb(kEps), Lb(kEsc, true), 1});
  spec.near_states = {1};
  return Build(spec);
}

TEST(WalkBound, AcceptedPathsCountTowardTheBound) {
  FsmPtr fsm = GrowingAcceptedPath();
  // Paths of 1..n codes are accepted: n rounds cost n steps plus n (n + 1) / 2 codes
  // decoded. With n = 4095 (the work buffer's room) that is far above the bound, which
  // the walk reaches after about 1400 rounds instead of filling its buffer.
  uint64_t spent = 0;
  EXPECT_EQ(BoundedLookup(fsm.get(), "", 1000000, 4096, &spent), VTM_ERR_WALK_LIMIT);
  // A buffer of 100 codes fills first: 99 rounds, each an arrival and its path.
  EXPECT_EQ(BoundedLookup(fsm.get(), "", 1000000, 100, &spent), VTM_ERR_INTERNAL_BUFFER_TOO_SMALL);
  EXPECT_EQ(spent, 1u + 99u + 99u * 100u / 2u);
}

}  // namespace
}  // namespace vtm
