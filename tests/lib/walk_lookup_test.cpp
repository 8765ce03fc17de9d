// The lookup walk over hand-built networks: references, subtree skipping, direct-index
// tables, non-identity pairs, lists of written alternatives, flag diacritics, generic
// tables with exceptions, the stack limit, and damaged networks.
#include <gtest/gtest.h>

#include <random>

#include "support/lookup_fixtures.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Strings = std::vector<std::string>;

TEST(WalkLookup, SixByteExample) {
  compiler::TransducerSpec spec = LookupSpec({16, 64, 71, 0, 73, 0});
  spec.header.table_label = 252;  // codes 64, 68, 72 are the three letters here
  spec.header.esc_label = 248;
  FsmPtr fsm = Build(spec);
  WalkOptions raw;
  raw.mode = kOutRaw;
  WalkRun run = Lookup(fsm.get(), {64, 72, 0}, raw);
  EXPECT_EQ(run.rc, 1);
  EXPECT_EQ(run.results, Strings{"\x40\x48"});
  EXPECT_EQ(Lookup(fsm.get(), {64, 68, 0}, raw).rc, 1);
  EXPECT_EQ(Lookup(fsm.get(), {64, 0}, raw).rc, 0);
  EXPECT_EQ(Lookup(fsm.get(), {64, 72, 68, 0}, raw).rc, 0);
  EXPECT_EQ(Lookup(fsm.get(), {72, 0}, raw).rc, 0);
}

TEST(WalkLookup, FinalStartStateAcceptsEmptyInput) {
  FsmPtr fsm = BuildNet({Lb(kEps, true), Lb(C('a'), true), 0});
  EXPECT_EQ(Lookup(fsm.get(), Codes("")).results, Strings{""});
  EXPECT_EQ(Lookup(fsm.get(), Codes("a")).results, Strings{"a"});
  WalkOptions recognize;
  recognize.mode = kOutRecognize;
  EXPECT_EQ(Lookup(fsm.get(), Codes(""), recognize).rc, 1);
  // A start state reached through a reference.
  compiler::TransducerSpec spec = LookupSpec({1, 0, Lb(kEps, true), 0});
  spec.near_states = {2};
  EXPECT_EQ(Lookup(Build(spec).get(), Codes("")).rc, 1);
}

TEST(WalkLookup, NearFarAndAbsoluteReferences) {
  std::vector<uint8_t> net(24, 0);
  const uint8_t bytes[] = {16,
                           Lb(C('a'), false, true),
                           1,  // a -> near[0] (5)
                           Lb(C('x'), true),
                           0,  // alternative x
                           Lb(C('b'), true, true),
                           8,
                           0,  // 5: b -> far[0] (12)
                           Lb(C('c')),
                           12,
                           0,
                           20,  // 8: c -> absolute 20
                           Lb(C('d'), true),
                           0};  // 12: d
  std::copy(std::begin(bytes), std::end(bytes), net.begin());
  net[20] = Lb(C('e'), true);
  compiler::TransducerSpec spec = LookupSpec(net);
  spec.near_states = {5};
  spec.far_states = {12};
  FsmPtr fsm = Build(spec);
  for (const char* word : {"x", "ab", "abd", "ace"}) {
    EXPECT_EQ(Lookup(fsm.get(), Codes(word)).results, Strings{word}) << word;
  }
  for (const char* word : {"a", "ac", "abe", "b"}) {
    EXPECT_EQ(Lookup(fsm.get(), Codes(word)).rc, 0) << word;
  }
}

TEST(WalkLookup, ExtendedTrailerLengthsWhenSkipping) {
  // An absolute reference inside a skipped subtree: 3 bytes plus a trailer of 1, 3 or 5
  // bytes, chosen by the bytes after it.
  const std::vector<std::vector<uint8_t>> trailers = {{9}, {0, 9, 9}, {0, 0, 0, 0, 0}};
  for (const auto& trailer : trailers) {
    std::vector<uint8_t> net = {16, Lb(C('a'), false, true), Lb(C('c')), 12, 0, 40};
    net.insert(net.end(), trailer.begin(), trailer.end());
    Append(net, {Lb(C('x'), true), 0});
    net.resize(48, 0);
    net[40] = Lb(C('e'), true);
    compiler::TransducerSpec spec = LookupSpec(net);
    spec.header.extended = 1;
    FsmPtr fsm = Build(spec);
    EXPECT_EQ(Lookup(fsm.get(), Codes("x")).rc, 1) << trailer.size();
    EXPECT_EQ(Lookup(fsm.get(), Codes("ace")).rc, 1) << trailer.size();
  }
}

// Root: a direct-index table label (no more_bit: looked up at once) whose target is the
// table at 8; entries for a, b, c, d, 4 bytes apart, each final.
std::vector<uint8_t> DirectTable(std::vector<uint8_t> prefix) {
  // Written byte by byte: GCC 12 (i686) warns of a copy out of bounds for an initializer
  // list followed by resize.
  std::vector<uint8_t> net(8 - prefix.size(), 0);
  net[0] = 16;
  net[1] = Lb(kTable);
  net[2] = 1;
  net.insert(net.end(), prefix.begin(), prefix.end());
  for (char c : {'a', 'b', 'c', 'd'}) Append(net, {Lb(C(c), true), 0, 0, 0});
  return net;
}

TEST(WalkLookup, DirectIndexTables) {
  auto lookup_all = [](uint8_t code_flags, std::vector<uint8_t> prefix) {
    compiler::TransducerSpec spec = LookupSpec(DirectTable(std::move(prefix)));
    spec.header.code_flags = code_flags;
    spec.near_states = {8};
    FsmPtr fsm = Build(spec);
    std::string found;
    for (char c : std::string("abcde"))
      found += Lookup(fsm.get(), Codes(std::string(1, c))).rc ? c : '.';
    return found;
  };
  EXPECT_EQ(lookup_all(0, {}), "abcd.") << "dense";
  EXPECT_EQ(lookup_all(kCodeTableMax, {8}), "abc..") << "bounded: offsets up to 8";
  // Sparse: the offset of s is the byte at u - 1 - (s - s0) / 4, 0 meaning none; the
  // index bytes (for d, c, b, a from u - 4 to u - 1) send b to c's entry (wrong code)
  // and d to its own.
  EXPECT_EQ(lookup_all(kCodeTableSparse, {12, 0, 8, 0}), "...d.");
  EXPECT_EQ(lookup_all(kCodeTableSparse, {12, 0, 4, 0}), ".b.d.");
}

TEST(WalkLookup, ExplicitArcAfterTableWinsOverTheEntry) {
  // Root: table label with more_bit, then the explicit (exception) arcs b and y, sorted.
  // Explicit b is not final but continues with z; the table's b is final.
  std::vector<uint8_t> net = {
      16, Lb(kTable, false, true), 1, Lb(C('b'), false, true), Lb(C('z'), true),
      0,  Lb(C('y'), true),        0};
  net.resize(12, 0);
  for (char c : {'a', 'b', 'c'}) Append(net, {Lb(C(c), true), 0, 0, 0});
  compiler::TransducerSpec spec = LookupSpec(net);
  spec.near_states = {12};
  FsmPtr fsm = Build(spec);
  EXPECT_EQ(Lookup(fsm.get(), Codes("a")).rc, 1) << "before the explicit arcs";
  EXPECT_EQ(Lookup(fsm.get(), Codes("b")).rc, 0) << "explicit arc used, not the entry";
  EXPECT_EQ(Lookup(fsm.get(), Codes("bz")).rc, 1);
  EXPECT_EQ(Lookup(fsm.get(), Codes("c")).rc, 1) << "between the explicit arcs";
  EXPECT_EQ(Lookup(fsm.get(), Codes("y")).rc, 1);
}

TEST(WalkLookup, NonIdentityPairs) {
  // a:x, and with more_bit on the nid_label also a:a continuing to b.
  FsmPtr both = BuildNet(
      {16, Lb(C('a'), true), Lb(kNid, false, true), Lb(C('x'), true), 0, Lb(C('b'), true), 0});
  EXPECT_EQ(Lookup(both.get(), Codes("a")).results, (Strings{"a", "x"})) << "A:A first";
  EXPECT_EQ(Lookup(both.get(), Codes("ab")).results, Strings{"ab"});
  FsmPtr only = BuildNet({16, Lb(C('a')), Lb(kNid), Lb(C('x'), true), 0});
  EXPECT_EQ(Lookup(only.get(), Codes("a")).results, Strings{"x"});
  // a:0 then b: the second side epsilon writes nothing.
  FsmPtr deletion = BuildNet({16, Lb(C('a')), Lb(kNid), Lb(kEps), Lb(C('b'), true), 0});
  EXPECT_EQ(Lookup(deletion.get(), Codes("ab")).results, Strings{"b"});
  // 0:x insertion before a.
  FsmPtr insertion = BuildNet({16, Lb(kEps), Lb(C('x')), Lb(C('a'), true), 0});
  EXPECT_EQ(Lookup(insertion.get(), Codes("a")).results, Strings{"xa"});
}

TEST(WalkLookup, WrittenAlternativesAndTheNextInputCode) {
  // 0:x, 0:y, 0:z, 0:t, 0:w, 0:v from the start: x goes on with a, y with b, z ends
  // (final), t refers to a list with a, w goes on with 0:q and then a, and v's list
  // holds b and a. The next input code decides which written alternatives give results,
  // in the order of the list.
  compiler::TransducerSpec spec = LookupSpec({16,
                                              Lb(kEps),
                                              Lb(C('x'), false, true),
                                              Lb(C('a'), true),
                                              0,
                                              Lb(C('y'), false, true),
                                              Lb(C('b'), true),
                                              0,
                                              Lb(C('z'), true, true),
                                              0,
                                              Lb(C('t'), false, true),
                                              1,
                                              Lb(C('w'), false, true),
                                              Lb(kEps),
                                              Lb(C('q')),
                                              Lb(C('a'), true),
                                              0,
                                              Lb(C('v')),
                                              Lb(C('b'), true, true),
                                              0,
                                              Lb(C('a'), true),
                                              0,
                                              Lb(C('a'), true),  // 22: near state 0
                                              0});
  spec.near_states = {22};
  FsmPtr fsm = Build(spec);
  EXPECT_EQ(Lookup(fsm.get(), Codes("a")).results, (Strings{"xa", "ta", "wqa", "va"}));
  EXPECT_EQ(Lookup(fsm.get(), Codes("b")).results, (Strings{"yb", "vb"}));
  EXPECT_EQ(Lookup(fsm.get(), Codes("")).results, Strings{"z"});
  EXPECT_EQ(Lookup(fsm.get(), Codes("c")).rc, 0);
  EXPECT_EQ(Lookup(fsm.get(), Codes("ab")).rc, 0);
  // A partial lookup accepts at every final state, the ended z included.
  WalkOptions partial;
  partial.partial = true;
  EXPECT_EQ(Lookup(fsm.get(), Codes("a"), partial).results,
            (Strings{"xa", "z", "ta", "wqa", "va"}));
}

TEST(WalkLookup, FlagDiacritics) {
  // Feature 0 set to 2; then (0, 1) fails and (0, 2) passes.
  FsmPtr set = BuildNet({16, Lb(kInstr), Op(0, 2), Lb(C('a')), Lb(kInstr), Op(0, 1, true),
                         Lb(C('b'), true), 0, Op(0, 2), Lb(C('c'), true), 0});
  EXPECT_EQ(Lookup(set.get(), Codes("ab")).rc, 0);
  EXPECT_EQ(Lookup(set.get(), Codes("ac")).rc, 1);
  // A value of 0 clears the feature, so (0, 1) passes after it.
  FsmPtr clear = BuildNet({16, Lb(kInstr), Op(0, 2), Lb(C('a')), Lb(kInstr), Op(0, 0), Lb(kInstr),
                           Op(0, 1), Lb(C('d'), true), 0});
  EXPECT_EQ(Lookup(clear.get(), Codes("ad")).rc, 1);
  // Alternatives restore the flag state saved at the push; other features are apart.
  FsmPtr restore = BuildNet({16, Lb(kInstr), Op(0, 1, true), Lb(C('a'), true), 0, Op(0, 2),
                             Lb(kInstr), Op(1, 1), Lb(C('b'), true), 0});
  EXPECT_EQ(Lookup(restore.get(), Codes("a")).rc, 1);
  EXPECT_EQ(Lookup(restore.get(), Codes("b")).rc, 1);
  // The subnet's initial flag state applies from the start.
  compiler::TransducerSpec spec = LookupSpec(
      {16, Lb(kInstr), Op(0, 1, true), Lb(C('a'), true), 0, Op(0, 2), Lb(C('b'), true), 0});
  spec.subnets[0].initial_flag_state = 2;  // feature 0 = 2
  FsmPtr initial = Build(spec);
  EXPECT_EQ(Lookup(initial.get(), Codes("a")).rc, 0);
  EXPECT_EQ(Lookup(initial.get(), Codes("b")).rc, 1);
}

TEST(WalkLookup, GenericTableWithExceptions) {
  // 0:T where T has more_bit: the exceptions y (final) and z (not final) follow its
  // subtree. Table at 12: x (final), y (not final), a filler, z (final).
  std::vector<uint8_t> net = {
      16, Lb(kEps), Lb(kTable, false, true), 1, Lb(C('y'), true, true), 0, Lb(C('z')), 0};
  net.resize(12, 0);
  Append(net, {Lb(C('x'), true, true), 0, 0, 0, Lb(C('y'), false, true), 0, 0, 0,
               Lb(kTable, false, true), 0, 0, 0, Lb(C('z'), true), 0, 0, 0});
  compiler::TransducerSpec spec = LookupSpec(net);
  spec.near_states = {12};
  EXPECT_EQ(Lookup(Build(spec).get(), Codes("")).results, (Strings{"x", "y"}));
  // Without exceptions every entry stands for itself.
  spec.network[2] = Lb(kTable);
  EXPECT_EQ(Lookup(Build(spec).get(), Codes("")).results, (Strings{"x", "z"}));
  // The chain advances only when the excepted entry is left: an exception for x that
  // is final, then one for z that is not.
  spec.network[2] = Lb(kTable, false, true);
  spec.network[4] = Lb(C('x'), true, true);
  EXPECT_EQ(Lookup(Build(spec).get(), Codes("")).results, Strings{"x"});
}

// Nested levels, each an epsilon arc whose second side x has more_bit (one pending
// alternative per level, y), around an innermost 0:z.
std::vector<uint8_t> PendingLevels(int levels) {
  std::vector<uint8_t> net = {16};
  for (int k = 0; k < levels; ++k) Append(net, {Lb(kEps), Lb(C('x'), false, true)});
  Append(net, {Lb(kEps), Lb(C('z'), true), 0});
  for (int k = 0; k < levels; ++k) Append(net, {Lb(C('y'), true), 0});
  return net;
}

TEST(WalkLookup, StackOverflowsAtTheNthPendingAlternative) {
  WalkOptions options;
  options.client_size = 20000;
  options.stack_entries = 100;
  WalkRun fits = Lookup(BuildNet(PendingLevels(99)).get(), Codes(""), options);
  EXPECT_EQ(fits.rc, 100);
  EXPECT_EQ(fits.results.front(), std::string(99, 'x') + "z");
  EXPECT_EQ(fits.results.back(), "y");
  EXPECT_EQ(Lookup(BuildNet(PendingLevels(100)).get(), Codes(""), options).rc,
            VTM_ERR_STACK_OVERFLOW);
  options.stack_entries = 1;
  EXPECT_EQ(Lookup(BuildNet(PendingLevels(1)).get(), Codes(""), options).rc,
            VTM_ERR_STACK_OVERFLOW);
  options.stack_entries = 2;
  EXPECT_EQ(Lookup(BuildNet(PendingLevels(1)).get(), Codes(""), options).rc, 2);
}

TEST(WalkLookup, WorkBufferAndPartialInput) {
  FsmPtr fsm = BuildNet({16, Lb(C('a')), Lb(C('b')), Lb(C('c'), true), 0});
  WalkOptions options;
  options.work_size = 3;
  EXPECT_EQ(Lookup(fsm.get(), Codes("abc"), options).rc, VTM_ERR_INTERNAL_BUFFER_TOO_SMALL);
  options.work_size = 4;
  EXPECT_EQ(Lookup(fsm.get(), Codes("abc"), options).rc, 1);
  options.work_size = 0;
  EXPECT_EQ(Lookup(fsm.get(), Codes("abc"), options).rc, VTM_ERR_INTERNAL_BUFFER_TOO_SMALL);
  WalkOptions partial;
  partial.partial = true;
  EXPECT_EQ(Lookup(fsm.get(), Codes("ab"), partial).rc, VTM_ERR_INCOMPLETE_INPUT);
  EXPECT_EQ(Lookup(fsm.get(), Codes("ab")).rc, 0);
  EXPECT_EQ(Lookup(fsm.get(), Codes("abcd"), partial).results, Strings{"abc"});
}

TEST(WalkLookup, SilentCycleEnds) {
  // A final state whose only arc is a flag-diacritic loop back to itself.
  compiler::TransducerSpec spec =
      LookupSpec({16, Lb(C('a'), true), Lb(kInstr), static_cast<uint8_t>(Op(1, 1) | 1), 1});
  spec.near_states = {2};
  EXPECT_EQ(Lookup(Build(spec).get(), Codes("a")).results, Strings{"a"});
}

// A walk's end: a count or one of the library's codes (the walk's own two included).
bool Ends(int rc) {
  return rc >= -50 || rc == VTM_ERR_WALK_INTERNAL || rc == VTM_ERR_WALK_LIMIT;
}

TEST(WalkLookup, DamagedNetworksStayInside) {
  // Random network bytes and inputs: every walk ends with a result count or an error,
  // reads nothing outside the network (checked under AddressSanitizer) and writes
  // nothing outside its buffers (checked by the helpers).
  std::mt19937 rng(12345);
  compiler::TransducerSpec spec = LookupSpec({});
  spec.near_states = {0, 3, 17, 40};
  spec.far_states = {1, 9, 33};
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> net(8 + rng() % 56);
    for (auto& b : net) b = static_cast<uint8_t>(rng());
    spec.network = net;
    spec.header.extended = rng() % 2;
    spec.header.code_flags = static_cast<uint8_t>(rng() & 0xE0);
    FsmPtr fsm = Build(spec);
    ASSERT_EQ(vtm_object_error_code(fsm.get()), 0);
    for (int k = 0; k < 4; ++k) {
      std::vector<uint8_t> input(rng() % 5);
      for (auto& c : input) c = static_cast<uint8_t>(64 + 4 * (rng() % 48));
      input.push_back(0);
      WalkOptions options;
      options.mode = static_cast<int>(rng() % 8);
      options.partial = rng() % 2;
      options.work_size = 64;
      WalkRun run = Lookup(fsm.get(), input, options);
      EXPECT_TRUE(Ends(run.rc)) << run.rc;
      EXPECT_TRUE(Ends(Inverse(fsm.get(), input, options).rc));
      input.back() = kSep;
      input.push_back(0);
      EXPECT_TRUE(Ends(Classes(fsm.get(), input).rc));
    }
  }
}

}  // namespace
}  // namespace vtm
