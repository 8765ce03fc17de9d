// Symbol-level transducers: AT&T arcs with their symbols resolved into one alphabet
// shared by every function of the file being built, trimmed, and split so that every
// state knows, for each side, whether a run of tags is open (tags are written between
// tag separators in coded strings).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "att_reader.h"
#include "fst/format.h"
#include "symbols.h"

namespace vtm::compiler {

// Global symbol ids. Tags and flag operands follow the fixed ids.
namespace sym {
inline constexpr uint32_t kEps = 0;
inline constexpr uint32_t kCharBase = 1;  // char byte b has id kCharBase + b
inline constexpr uint32_t kEos = 257;
inline constexpr uint32_t kTb = 258;
inline constexpr uint32_t kEof = 259;
inline constexpr uint32_t kTagSep = 260;
inline constexpr uint32_t kTagBase = 261;        // tag i has id kTagBase + i
inline constexpr uint32_t kFlagBase = 1u << 24;  // operand x has id kFlagBase + x
inline bool IsChar(uint32_t id) {
  return id >= kCharBase && id < kCharBase + 256;
}
inline bool IsTag(uint32_t id) {
  return id >= kTagBase && id < kFlagBase;
}
inline bool IsFlag(uint32_t id) {
  return id >= kFlagBase;
}
}  // namespace sym

// The alphabet of everything being built into one file.
struct Alphabet {
  std::vector<std::string> tags;                 // tag i's name
  std::map<std::string, uint32_t> tag_ids;       // name -> i
  std::vector<std::string> features;             // flag feature f's name (f < 8)
  std::vector<std::vector<std::string>> values;  // values[f][v - 1]
  bool uses_eos = false, uses_tb = false, uses_eof = false, uses_tagsep = false;
};

// Flag operands: feature f (0-7), value v (0 clears, 1-3); the operand byte offset.
inline constexpr int kMaxFeatures = 8;
inline constexpr int kMaxValues = 3;
inline constexpr std::size_t kMaxTags = 1009;  // capacity of the loaded tag-name table

struct SymArc {
  uint32_t src, dst;
  uint32_t a, b;  // first and second side (global symbol ids)
};

struct SymGraph {
  uint32_t start = 0;
  std::vector<uint8_t> final;
  std::vector<SymArc> arcs;
  std::vector<uint8_t> run1, run2;  // per state: a tag run is open on side 1 / side 2
  std::vector<uint32_t> origin;     // per state: the AT&T dense state it comes from
  bool auto_tagsep = true;          // tag separators are inserted by the compiler
  uint32_t state_count() const { return static_cast<uint32_t>(final.size()); }
};

struct ResolveOptions {
  bool drop_unmappable = false;  // drop arcs that carry characters outside cp1252
  bool project = false;          // keep the first side only (expansion)
};

// Resolves an AT&T transducer into `alphabet` (extending it) and a symbol graph: checks
// the symbols, drops or rejects unmappable ones, trims states that are not on an
// accepting path. Adds the number of dropped arcs to *dropped. Errors carry line numbers.
bool ResolveAtt(const AttTransducer& att, const ResolveOptions& options, Alphabet* alphabet,
                SymGraph* out, std::size_t* dropped, std::string* error);

// Splits states by open tag runs (when tags are used and the text has no explicit tag
// separators) and checks that no cycle consumes nothing on a side that is matched
// against input: side 1 always, side 2 when `inverse_used`. `att` is used for messages.
bool PrepareGraph(const AttTransducer& att, bool inverse_used, SymGraph* graph, std::string* error);

}  // namespace vtm::compiler
