// Reader of AT&T transducer text, the exchange format of foma, HFST and lttoolbox:
// arc lines "src<TAB>dst<TAB>in<TAB>out[<TAB>weight]", acceptor arc lines
// "src<TAB>dst<TAB>sym", and final-state lines "state[<TAB>weight]". The start state is
// the first field of the first line. Weights are checked for being numbers and then
// ignored. Several transducers in one text are separated by lines holding "--".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vtm::compiler {

struct AttArc {
  uint32_t src;
  uint32_t dst;
  uint32_t in;    // index into AttTransducer::symbols
  uint32_t out;   // index into AttTransducer::symbols
  uint32_t line;  // 1-based line number in the text
};

struct AttTransducer {
  uint32_t start = 0;                   // dense state id
  std::vector<AttArc> arcs;             // in text order
  std::vector<uint8_t> final;           // per dense state id
  std::vector<uint64_t> state_numbers;  // the number each dense id had in the text
  std::vector<uint32_t> state_lines;    // line on which each state first appeared
  std::vector<std::string> symbols;     // distinct symbol texts, in order of appearance

  uint32_t state_count() const { return static_cast<uint32_t>(final.size()); }
};

// Parses `text`. `section` chooses a transducer of a multi-transducer text (1-based);
// 0 requires the text to hold exactly one. On failure returns false and sets *error to
// a message that starts with "line N: " when a line is at fault.
bool ReadAtt(std::string_view text, int section, AttTransducer* out, std::string* error);

}  // namespace vtm::compiler
