// The grouper object and the internal steps of vtm_group: the label table taken from the
// transducer's bracket tags, and one grouping pass (tag coding, the walk, parsing the
// bracketed results into records). Tested in tests/lib/group_*_test.cpp.
#pragma once

#include <cstdint>

#include "fst/fsm.h"
#include "vtmrt.h"

namespace vtm {

inline constexpr int kMaxGroupLabels = 256;
// A label whose name is longer than this is never matched by the parse.
inline constexpr std::size_t kMaxLabelName = 30;
// Capability bit of a transducer that serves function 62.
inline constexpr uint32_t kGroupingCapability = 0x100;

}  // namespace vtm

// One bracket tag of the transducer.
struct VtmGroupLabel {
  uint16_t code;  // base code byte << 8 | escape count, as in the tag table
  int32_t opens;  // 1: the tag's name begins with "(", 0: with ")"
  char* name;     // owned: the tag's name without its bracket
};

struct VtmGrouperRec {
  uint32_t label_count;
  VtmGroupLabel labels[vtm::kMaxGroupLabels];
  VtmFsmRec* fsm;  // not owned
};

namespace vtm {

// What one pass works on: the pass's tags and token range, the subnet's function, and
// where its records and names go.
struct GroupPass {
  const char* tags;  // tag of token t0, then the following ones
  int count;         // tokens in the pass
  int t0;            // index of the pass's first token in the caller's list
  int function;      // kFunctionGrouper (sentence pass, first path) or kFunctionGrouper2
                     // (sub-pass, every path)
  VtmGroup* records;
  int capacity;
  int total;  // records stored before the pass
  char* names;
  int names_size;
  int name_offset;  // where the pass's first label name goes
};

// Runs one pass; returns the new total of records or a negative error code.
int RunGroupPass(const VtmGrouperRec* grouper, const GroupPass& pass);

// The offset just past the name of the record with the largest name offset among
// records[0, total), or `fallback` when there is none.
int NextNameOffset(const VtmGroup* records, int total, const char* names, int names_size,
                   int fallback);

}  // namespace vtm
