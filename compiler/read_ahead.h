// A compiler pass for transducers that insert output (a tokenizer inserting the space
// between two tokens): an arc that writes without reading input is moved onto the input
// symbols that follow it. The lookup walk tries an input-epsilon arc before the symbol
// arcs of its state, so a rule that may insert a space before the next symbol makes the
// walk write the space, seek the next symbol after it and, mostly, fail and come back:
// once per input byte. After the pass the insertion is one more reading of the next
// symbol (the same input code, a non-identity pair), which the walk meets only when it
// reads that symbol, after the reading without the insertion. Same relation; for a
// transducer with one output per input (the walk's first result in tokenizing mode)
// the same result. Tested in tests/lib/compiler_read_ahead_test.cpp.
#pragma once

#include <cstddef>

#include "sym_graph.h"

namespace vtm::compiler {

// Replaces every arc q -e:x-> r (no input, x a character or epsilon) whose target r is
// not final and has only arcs that read a character, r -a:y-> s, by arcs q -a:x-> t,
// where t writes y (t -e:y-> s, one state per (y, s), shared) or t is s when y is
// epsilon. Graphs with tags or flag diacritics are left alone. Returns the number of
// arcs moved. States that only the moved arcs reached stay in the graph without
// incoming arcs; the encoder lays out what the start state reaches.
std::size_t ReadAheadInsertions(SymGraph* graph);

}  // namespace vtm::compiler
