// Code-level transducers: every symbol pair of a symbol graph becomes a path of label
// code pairs (escapes, tag separators), paths leaving one state share their prefixes,
// and each state is put in the form the network encoding needs: at most one arc per
// first-side code, at most one second-side alternative per code. Where a pair leads
// to several states, a fresh state branches to them by epsilon alternatives.
#pragma once

#include <cstdint>
#include <vector>

#include "code_assignment.h"
#include "sym_graph.h"

namespace vtm::compiler {

inline constexpr uint32_t kNoState = UINT32_MAX;

// A second-side alternative: `code` 0 is epsilon.
struct CodeAlt {
  uint8_t code;
  uint32_t target;
};

struct CodeOperand {
  uint8_t operand;  // f << 4 | v << 2
  uint32_t target;
};

// Arcs of one first-side symbol code: the identity pair and the non-identity pairs.
struct CodeSymbol {
  uint8_t code;
  uint32_t identity = kNoState;  // target of code:code
  std::vector<CodeAlt> others;   // epsilon alternatives first, then codes ascending
};

struct CodeState {
  bool final = false;
  std::vector<CodeAlt> eps;           // first side epsilon: epsilon first, then codes
  std::vector<CodeOperand> operands;  // flag diacritics
  std::vector<CodeSymbol> symbols;    // ascending codes
  bool arcless() const { return eps.empty() && operands.empty() && symbols.empty(); }
};

struct CodeNet {
  uint32_t start = 0;
  std::vector<CodeState> states;
  // Laid out for the inverse walk (inverse_layout.h): the encoder gives the first-side
  // epsilon's alternatives a direct-index table and the written symbols none.
  bool inverse_layout = false;
  std::size_t arc_count() const;
};

// Builds the code-level form of a prepared symbol graph.
CodeNet BuildCodeNet(const SymGraph& graph, const CodeAssignment& codes);

}  // namespace vtm::compiler
