// Assignment of label codes: the special labels below the first character label, the
// control symbols (table label, escape, tag separator, end codes) and, by frequency,
// a base code and an escape count for every character and tag. The most frequent
// symbols get codes without escapes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fst/format.h"
#include "sym_graph.h"

namespace vtm::compiler {

struct SymbolCode {
  uint8_t base = 0;  // 0: the symbol has no code
  uint16_t escapes = 0;
};

struct CodeAssignment {
  uint8_t label_base = 0;
  uint8_t eps = 0, nid = 0, instr = 0;  // special labels (0: not used)
  uint8_t first_char = 0;
  uint8_t table = 0, esc = 0, tagsep = 0, eos = 0, tb = 0, eof = 0;  // 0: not used
  uint8_t esc_radix = 0;
  int max_char_escapes = 0;
  // Escape codes follow their base code (code_flags bit 7) instead of preceding it. Class
  // transducers need this: the class walk numbers a tag chain by its first code.
  bool escapes_after = false;
  std::vector<SymbolCode> chars;  // by byte
  std::vector<SymbolCode> tags;   // by tag index

  // Code of a non-flag, non-epsilon symbol id (without escapes).
  SymbolCode Code(uint32_t symbol) const;
  // Appends the codes of a symbol: its escapes, then its base code (or the other way
  // round with escapes_after).
  void Append(uint32_t symbol, std::vector<uint8_t>* out) const;
  // Symbol ordinal of a base code with escapes.
  uint32_t Ordinal(SymbolCode code) const {
    return (code.base - label_base) / 4u + code.escapes * uint32_t{esc_radix};
  }
};

// Occurrences of each symbol id in the graphs being built (both sides).
struct SymbolCounts {
  std::vector<uint64_t> chars = std::vector<uint64_t>(256, 0);
  std::vector<uint64_t> tags;
  bool any_nonid = false, any_flag = false;
};
SymbolCounts CountSymbols(const Alphabet& alphabet, const std::vector<const SymGraph*>& graphs);

// Puts the characters of a sample text (cp1252 bytes) first, by their frequency in it;
// characters the sample lacks follow by their counts in the graphs. Only characters of
// the alphabet (a non-zero count) are weighted. Arc counts say how often a walk may meet
// a symbol in a transducer made of words, but not in one that reads every character the
// same way (a tokenizer) or writes symbols that no input arc carries (an inserted
// space): there a sample of the text it will read gives each path's frequent symbols
// the codes without escapes.
void WeightBySample(const std::string& sample, SymbolCounts* counts);

// Assigns codes with the given label base (a multiple of 4). Fails when the code space
// cannot hold the specials and controls, or a flag operand would not be a label byte.
bool AssignCodes(uint8_t label_base, const Alphabet& alphabet, const SymbolCounts& counts,
                 CodeAssignment* out, std::string* error);

}  // namespace vtm::compiler
