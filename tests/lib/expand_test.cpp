// Partial-word expansion over hand-built networks: prefixes, skip counts and length
// limits against a word-list reference, paging through the continuation, every failure
// of the call with whether it leaves a continuation, duplicate paths, tables, flag
// diacritics, a cyclic language bounded by the maximum length, and a continuation on
// another transducer.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/expand_fixtures.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Strings = std::vector<std::string>;

// Words in the order the walk meets them in a trie: by code sequence, a word before its
// extensions (capitals' escape code sorts before every letter).
Strings InWalkOrder(Strings words) {
  std::sort(words.begin(), words.end(),
            [](const std::string& a, const std::string& b) { return WordCodes(a) < WordCodes(b); });
  return words;
}

const Strings& Lexicon() {
  static const Strings words = InWalkOrder({"a", "ab", "abc", "abd", "abcde", "b", "ba", "bab",
                                            "cab", "Cab", "xabq", "abab", "babab", "q"});
  return words;
}

FsmPtr LexiconFsm() {
  return BuildNet(TrieNetwork(Lexicon()));
}

Strings ExpandAll(const VtmFsmRec* fsm, const std::string& fragment, ExpandCall call) {
  std::vector<Page> pages = ExpandPages(fsm, fragment, call, 4096);
  EXPECT_EQ(pages.size(), 1u);
  EXPECT_GE(pages.back().rc, 0) << fragment;
  EXPECT_EQ(pages.back().rc, pages.back().result_count);
  return pages.back().results;
}

TEST(Expand, FragmentSkipAndLengthLimitsMatchTheWordList) {
  FsmPtr fsm = LexiconFsm();
  const Strings fragments = {"", "a", "ab", "abc", "b", "ba", "Ca", "q", "zz"};
  const std::vector<std::pair<int, int>> limits = {{0, 1000}, {2, 4},    {3, 3}, {0, 0},
                                                   {0, 3},    {4, 1000}, {-5, 2}};
  for (const std::string& fragment : fragments) {
    for (int skip : {0, 1, 2, 3}) {
      for (auto [min_length, max_length] : limits) {
        ExpandCall call;
        call.skip = skip;
        call.min_length = min_length;
        call.max_length = max_length;
        EXPECT_EQ(ExpandAll(fsm.get(), fragment, call),
                  Expected(Lexicon(), fragment, skip, min_length, max_length))
            << "'" << fragment << "' skip " << skip << " limits " << min_length << ".."
            << max_length;
      }
    }
  }
}

TEST(Expand, PagesDeliverTheResultThatDidNotFitFirst) {
  FsmPtr fsm = LexiconFsm();
  const Strings all = Expected(Lexicon(), "", 0, 0, 1000);
  // Twelve bytes (the last one kept free) hold "Cab", "a", "ab" but not "abab" as well.
  std::vector<Page> pages = ExpandPages(fsm.get(), "", ExpandCall{}, 12);
  ASSERT_GT(pages.size(), 2u);
  EXPECT_EQ(pages[0].rc, VTM_ERR_MORE_RESULTS);
  EXPECT_EQ(pages[0].results, (Strings{"Cab", "a", "ab"}));
  EXPECT_EQ(pages[1].results.front(), "abab");
  for (std::size_t k = 0; k + 1 < pages.size(); ++k) {
    EXPECT_EQ(pages[k].rc, VTM_ERR_MORE_RESULTS);
    EXPECT_GT(pages[k].result_count, 0);
  }
  EXPECT_EQ(pages.back().rc, pages.back().result_count) << "the last page returns its count";
  EXPECT_EQ(Concatenate(pages), all);
  // A continue call once the expansion is complete finds nothing waiting.
  VtmLookupBuffer buffer = vtmMakeLookupBuffer(64, 64, 64, 0, 0, 0);
  char out[64];
  EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, 64, buffer, 0, 0, 9, 1, 0, fsm.get()), 0);
  EXPECT_EQ(vtmExpandByteStringPartialWord("ba", out, 64, buffer, 0, 0, 9, 0, 0, fsm.get()), 3);
  EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, 64, buffer, 0, 0, 9, 1, 0, fsm.get()), 0);
  EXPECT_EQ(vtmLookupBufferCursor(buffer), 0);
  vtmFreeLookupBuffer(buffer);
}

TEST(Expand, OutputTooSmallForOneResultCanBeContinuedLarger) {
  FsmPtr fsm = LexiconFsm();
  VtmLookupBuffer buffer = vtmMakeLookupBuffer(64, 64, 64, 0, 0, 0);
  char out[64];
  // "abcde" needs 6 bytes and the last byte stays free: 6 bytes of output are too few.
  EXPECT_EQ(vtmExpandByteStringPartialWord("abcd", out, 6, buffer, 0, 0, 9, 0, 0, fsm.get()),
            VTM_ERR_CLIENT_BUFFER_TOO_SMALL);
  EXPECT_EQ(vtmLookupBufferResultCount(buffer), 0);
  EXPECT_EQ(vtmLookupBufferCursor(buffer), 0);
  // Still too small on continue: the state is kept for another try.
  EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, 6, buffer, 0, 0, 9, 1, 0, fsm.get()),
            VTM_ERR_CLIENT_BUFFER_TOO_SMALL);
  EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, 0, buffer, 0, 0, 9, 1, 0, fsm.get()),
            VTM_ERR_CLIENT_BUFFER_TOO_SMALL);
  EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, 7, buffer, 0, 0, 9, 1, 0, fsm.get()), 1);
  EXPECT_STREQ(out, "abcde");
  EXPECT_EQ(vtmLookupBufferCursor(buffer), 6);
  EXPECT_EQ(vtmLookupBufferResultCount(buffer), 1);
  vtmFreeLookupBuffer(buffer);
}

// Calls the expansion on a fresh buffer of the given sizes; returns the call's result.
int ExpandOnce(const VtmFsmRec* fsm, const char* fragment, ExpandCall call, int max = 1000) {
  VtmLookupBuffer buffer =
      vtmMakeLookupBuffer(call.coded_input, call.coded_output, call.stack_entries, 0, 0, 0);
  char out[256];
  const int r = vtmExpandByteStringPartialWord(fragment, out, sizeof out, buffer, call.skip, 0, max,
                                               0, 0, const_cast<VtmFsmRec*>(fsm));
  // Failures that leave no continuation: a continue call finds nothing waiting.
  if (r < 0 && r != VTM_ERR_MORE_RESULTS && r != VTM_ERR_CLIENT_BUFFER_TOO_SMALL &&
      r != VTM_ERR_INVALID_FUNCTION) {
    EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, sizeof out, buffer, call.skip, 0, max, 1,
                                             0, const_cast<VtmFsmRec*>(fsm)),
              0);
  }
  vtmFreeLookupBuffer(buffer);
  return r;
}

TEST(Expand, FailuresOfTheCall) {
  FsmPtr fsm = LexiconFsm();
  VtmLookupBuffer buffer = vtmMakeLookupBuffer(64, 64, 64, 0, 0, 0);
  char out[64];
  EXPECT_EQ(vtmExpandByteStringPartialWord("a", out, 64, nullptr, 0, 0, 9, 0, 0, fsm.get()),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmExpandByteStringPartialWord("a", nullptr, 64, buffer, 0, 0, 9, 0, 0, fsm.get()),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, 64, buffer, 0, 0, 9, 0, 0, fsm.get()),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmExpandByteStringPartialWord("a", out, 64, buffer, 0, 0, 9, 0, 0, nullptr),
            VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmExpandByteStringPartialWord(
                "a", out, 64, static_cast<VtmLookupBuffer>(vtm_error_object(VTM_ERR_NO_MEMORY)), 0,
                0, 9, 0, 0, fsm.get()),
            VTM_ERR_NO_MEMORY);
  EXPECT_EQ(vtmExpandByteStringPartialWord("a", out, -1, buffer, 0, 0, 9, 0, 0, fsm.get()),
            VTM_ERR_INVALID_NUMBER);
  vtmFreeLookupBuffer(buffer);

  compiler::TransducerSpec spec = LookupSpec(TrieNetwork(Lexicon()));
  spec.functions[0] = kNoSubnet;
  EXPECT_EQ(ExpandOnce(Build(spec).get(), "a", {}), VTM_ERR_INVALID_FUNCTION);

  ExpandCall small_input;
  small_input.coded_input = 5;  // the coder needs three bytes beyond each code it writes
  EXPECT_EQ(ExpandOnce(fsm.get(), "ab", small_input), 5);
  EXPECT_EQ(ExpandOnce(fsm.get(), "aba", small_input), VTM_ERR_CODED_INPUT_TOO_SMALL);
  EXPECT_EQ(ExpandOnce(fsm.get(), "a1", {}), VTM_ERR_CHAR_NOT_IN_ALPHABET);

  // The longest word has five codes: a coded output area of 6 holds it and its NUL.
  ExpandCall small_output;
  small_output.coded_output = 6;
  EXPECT_EQ(ExpandOnce(fsm.get(), "", small_output), static_cast<int>(Lexicon().size()));
  small_output.coded_output = 5;
  EXPECT_EQ(ExpandOnce(fsm.get(), "", small_output), VTM_ERR_CODED_OUTPUT_TOO_SMALL);
  // The code is written before the maximum length is tested: a maximum of 5 does not
  // keep the walk out of five-symbol words.
  EXPECT_EQ(ExpandOnce(fsm.get(), "", small_output, 5), VTM_ERR_CODED_OUTPUT_TOO_SMALL);
  EXPECT_EQ(ExpandOnce(fsm.get(), "", small_output, 4), static_cast<int>(Lexicon().size()) - 4);

  // Pending alternatives: at "ab" one waits at the root and one at "ab" itself (c and d
  // after the a taken); N entries hold N - 1 of them.
  ExpandCall small_stack;
  small_stack.stack_entries = 2;
  EXPECT_EQ(ExpandOnce(fsm.get(), "", small_stack), VTM_ERR_STACK_OVERFLOW);
  small_stack.stack_entries = 3;
  EXPECT_EQ(ExpandOnce(fsm.get(), "", small_stack), static_cast<int>(Lexicon().size()));
}

TEST(Expand, FreshCallDiscardsASuspendedExpansion) {
  FsmPtr fsm = LexiconFsm();
  VtmLookupBuffer buffer = vtmMakeLookupBuffer(64, 64, 64, 0, 0, 0);
  char out[8];
  EXPECT_EQ(vtmExpandByteStringPartialWord("", out, 8, buffer, 0, 0, 9, 0, 0, fsm.get()),
            VTM_ERR_MORE_RESULTS);
  EXPECT_EQ(vtmExpandByteStringPartialWord("q", out, 8, buffer, 0, 0, 9, 0, 0, fsm.get()), 1);
  EXPECT_STREQ(out, "q");
  EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, 8, buffer, 0, 0, 9, 1, 0, fsm.get()), 0);
  // A failed fresh call discards it as well.
  EXPECT_EQ(vtmExpandByteStringPartialWord("", out, 8, buffer, 0, 0, 9, 0, 0, fsm.get()),
            VTM_ERR_MORE_RESULTS);
  EXPECT_EQ(vtmExpandByteStringPartialWord("?", out, 8, buffer, 0, 0, 9, 0, 0, fsm.get()),
            VTM_ERR_CHAR_NOT_IN_ALPHABET);
  EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, 8, buffer, 0, 0, 9, 1, 0, fsm.get()), 0);
  vtmFreeLookupBuffer(buffer);
}

TEST(Expand, WordReachedByTwoPathsIsListedTwice) {
  // An epsilon arc with more_bit leads to "ab"; its alternative is "ab" again.
  FsmPtr fsm = BuildNet({16, Lb(kEps, false, true), Lb(C('a')), Lb(C('b'), true), 0, Lb(C('a')),
                         Lb(C('b'), true), 0});
  ExpandCall call;
  EXPECT_EQ(ExpandAll(fsm.get(), "a", call), (Strings{"ab", "ab"}));
  call.skip = 1;
  EXPECT_EQ(ExpandAll(fsm.get(), "b", call), (Strings{"ab", "ab"}));
}

TEST(Expand, GenericTableIsEnumeratedWithItsExceptions) {
  // Table label with more_bit at the root; exceptions y (final) and z (not final) after
  // its subtree; the table at 12: x (final), y (not final), a filler, z (final).
  std::vector<uint8_t> net = {16, Lb(kTable, false, true), 1, Lb(C('y'), true, true), 0, Lb(C('z')),
                              0};
  net.resize(12, 0);
  Append(net, {Lb(C('x'), true, true), 0, 0, 0, Lb(C('y'), false, true), 0, 0, 0,
               Lb(kTable, false, true), 0, 0, 0, Lb(C('z'), true), 0, 0, 0});
  compiler::TransducerSpec spec = LookupSpec(net);
  spec.near_states = {12};
  FsmPtr fsm = Build(spec);
  EXPECT_EQ(ExpandAll(fsm.get(), "", {}), (Strings{"x", "y"}));
  ExpandCall skip;
  skip.skip = 1;
  EXPECT_EQ(ExpandAll(fsm.get(), "", skip), (Strings{"x", "y"}));
  // Paging through a table resumes inside it: one result per page.
  EXPECT_EQ(Concatenate(ExpandPages(fsm.get(), "", {}, 3)), (Strings{"x", "y"}));
}

TEST(Expand, FragmentIsSoughtThroughADirectIndexTable) {
  // Root: a direct-index table of a, b, c, d (each final, with arcs on to "z").
  std::vector<uint8_t> net = {16, Lb(kTable), 1};
  net.resize(8, 0);
  for (char c : {'a', 'b', 'c', 'd'}) Append(net, {Lb(C(c), true), 2, 0, 0});
  Append(net, {Lb(C('z'), true), 0});
  compiler::TransducerSpec spec = LookupSpec(net);
  spec.near_states = {8, 24};
  FsmPtr fsm = Build(spec);
  EXPECT_EQ(ExpandAll(fsm.get(), "c", {}), (Strings{"c", "cz"}));
  EXPECT_EQ(ExpandAll(fsm.get(), "cz", {}), Strings{"cz"});
  EXPECT_EQ(ExpandAll(fsm.get(), "e", {}), Strings{});
}

TEST(Expand, FlagDiacriticsRestrictTheWords) {
  // Feature 0 set to 2 before a; after it (0, 1) fails and (0, 2) passes.
  FsmPtr fsm = BuildNet({16, Lb(kInstr), Op(0, 2), Lb(C('a')), Lb(kInstr), Op(0, 1, true),
                         Lb(C('b'), true), 0, Op(0, 2), Lb(C('c'), true), 0});
  EXPECT_EQ(ExpandAll(fsm.get(), "", {}), Strings{"ac"});
  // Operands do not count towards the length.
  ExpandCall max;
  max.max_length = 3;
  max.min_length = 2;
  EXPECT_EQ(ExpandAll(fsm.get(), "a", max), Strings{"ac"});
}

TEST(Expand, CapitalsCountOneSymbolEach) {
  // "Cab" is escape, c, a, b: three symbols, four codes.
  FsmPtr fsm = LexiconFsm();
  ExpandCall call;
  call.max_length = 4;
  call.min_length = 3;
  EXPECT_EQ(ExpandAll(fsm.get(), "C", call), Strings{"Cab"});
  call.skip = 1;
  EXPECT_EQ(ExpandAll(fsm.get(), "ab", call), (Strings{"Cab", "bab", "cab"}));
}

TEST(Expand, CyclicLanguageIsBoundedByTheMaximumLength) {
  // a+ b?: the state after a loops back to itself through a near reference.
  FsmPtr fsm = [] {
    compiler::TransducerSpec spec =
        LookupSpec({16, Lb(C('a'), true), Lb(C('a'), true, true), 1, Lb(C('b'), true), 0});
    spec.near_states = {2};
    return Build(spec);
  }();
  ExpandCall call;
  call.max_length = 4;
  EXPECT_EQ(ExpandAll(fsm.get(), "", call), (Strings{"a", "aa", "aaa", "aab", "ab"}));
  call.skip = 2;
  EXPECT_EQ(ExpandAll(fsm.get(), "b", call), Strings{"aab"});
  // Paging through the cycle with a large maximum: every page is complete.
  call = ExpandCall{};
  call.max_length = 40;
  std::vector<Page> pages = ExpandPages(fsm.get(), "", call, 50);
  EXPECT_EQ(Concatenate(pages).size(), 2u * 39 - 1);
  EXPECT_GE(pages.back().rc, 0);
  // Without a useful maximum the coded output area ends the walk.
  call.max_length = 2147483647;
  call.coded_output = 8;
  EXPECT_EQ(ExpandOnce(fsm.get(), "", call, call.max_length), VTM_ERR_CODED_OUTPUT_TOO_SMALL);
}

TEST(Expand, ContinuationOnAnotherTransducerStaysInsideItsNetwork) {
  // A step suspended deep in a large network, continued on a network of a few bytes:
  // the saved location and the stack's locations lie far past its end. The walk must
  // read nothing outside it (the address sanitizer build checks) and reports the
  // transducer as damaged, since the walk left its network.
  Strings words;
  for (char a : std::string("abcde"))
    for (char b : std::string("abcde"))
      for (char c : std::string("abcde"))
        for (char d : std::string("abcde")) words.push_back(std::string{a, b, c, d, 'q'});
  FsmPtr large = BuildNet(TrieNetwork(InWalkOrder(words)));
  FsmPtr small = BuildNet(TrieNetwork({"q"}));
  ASSERT_GT(large->header.network_size, small->header.network_size + 2 * kNetworkPad);
  int continued = 0;
  for (int pages = 1; pages <= 300; pages += 99) {
    VtmLookupBuffer buffer = vtmMakeLookupBuffer(64, 64, 64, 0, 0, 0);
    char out[4096];
    int rc = vtmExpandByteStringPartialWord("", out, 16, buffer, 0, 0, 9, 0, 0, large.get());
    for (int k = 1; k < pages && rc == VTM_ERR_MORE_RESULTS; ++k) {
      rc = vtmExpandByteStringPartialWord(nullptr, out, 16, buffer, 0, 0, 9, 1, 0, large.get());
    }
    ASSERT_EQ(rc, VTM_ERR_MORE_RESULTS) << pages;
    EXPECT_EQ(vtmExpandByteStringPartialWord(nullptr, out, sizeof out, buffer, 0, 0, 9, 1, 0,
                                             small.get()),
              VTM_ERR_BAD_FILE)
        << pages;
    ++continued;
    vtmFreeLookupBuffer(buffer);
  }
  EXPECT_EQ(continued, 4);
}

}  // namespace
}  // namespace vtm
