// Statistics of a loaded transducer's network, found by walking its encoding from each
// subnet's start: the arc lists reached (states), the labels that are arcs, the
// direct-index tables. Every read is bounds-checked, so any file can be inspected.
#pragma once

#include <cstddef>
#include <string>

struct VtmFsmRec;

namespace vtm::compiler {

struct NetworkStats {
  std::size_t states = 0;  // distinct arc lists reached
  std::size_t arcs = 0;    // symbol arcs, second-side alternatives and flag operands
  std::size_t tables = 0;  // direct-index tables
  bool complete = true;    // false when the walk met bytes it could not follow
  std::string problem;     // why it stopped, when not complete
};

NetworkStats CountNetwork(const VtmFsmRec& fsm, int subnet);

}  // namespace vtm::compiler
