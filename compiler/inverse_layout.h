// Layout of a function that only the inverse walk reads (generation, function 23): the
// code-level transducer is rebuilt so that the walk, which matches its input against
// second sides, meets one candidate per input code.
//
// Each code pair x:y becomes two steps, first y read (first side epsilon, second side y)
// and then x written (first side x, second side epsilon); flag operands stay as they are.
// Seen as an automaton over these steps, the transducer is made deterministic (subset
// construction) and minimal (partition refinement), and then read back as a code-level
// transducer whose every state holds: its input steps as the second-side alternatives of
// one first-side epsilon (ascending codes, so that the encoder can give them a
// direct-index table), its operands, and its output steps as x:epsilon pairs. The
// inverse walk seeks the input code among the alternatives by the table, as it seeks
// symbols, and enumerates only the outputs that the input has not yet decided.
// The relation (pairs of first-side and second-side strings, with flag diacritics) is
// unchanged, so the lookup walk reads the same results from it too.
// Tested by tests/lib/generation_layout_test.cpp and the exhaustive differential test.
#pragma once

#include <cstddef>

#include "code_net.h"

namespace vtm::compiler {

struct InverseLayoutReport {
  std::size_t nfa_states = 0;  // states of the split automaton
  std::size_t dfa_states = 0;  // after the subset construction
  std::size_t states = 0;      // after minimization
};

// The inverse-walk layout of `net`. The net must have no cycle that reads no second-side
// code (the compiler refuses those for any function the inverse walk reads), so that the
// result is finite; its states may still be many more than `net`'s when the second side
// leaves the first undecided for long stretches.
CodeNet InverseLayout(const CodeNet& net, InverseLayoutReport* report = nullptr);

}  // namespace vtm::compiler
