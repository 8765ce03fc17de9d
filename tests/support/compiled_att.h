// AT&T text compiled into a loaded transducer, and lookup results read back as sets: the
// library side of the differential tests (tests/lib/*differential_test.cpp), which
// compare these sets with the reference interpreter's.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "fst/format.h"
#include "support/fsm_fixtures.h"

namespace vtm::test {

struct CompileAttOptions {
  int function = kFunctionAnalysis;  // generation (mode 8) falls back to analysis
  int label_base = 0;                // 0: the compiler picks the smallest file
  int table_min_symbols = 12;        // states with this many symbol arcs get a table
  // The text serves generation (function 23, laid out for the inverse walk) as well.
  bool generation = false;
  int table_min_inputs = 6;            // generation: states reading this many codes get a table
  std::string code_sample = "";        // cp1252 text ranking the character codes; empty: arc counts
  bool read_ahead_insertions = false;  // the compiler's read-ahead pass for insertions
  bool code_sample_fit = false;        // the sample's characters kept only while the file fits
};

// Compiles `att` into the temporary file `file_name` and loads it. When the text cannot
// be read or compiled the result is null and the test fails, or, given `refusal`, the
// compiler's message is stored there instead.
FsmPtr CompileAtt(const std::string& att, const std::string& file_name,
                  const CompileAttOptions& options = {}, std::string* refusal = nullptr);

// Results of vtm_lookup_with_transduction in `mode` as a set; the output buffer grows
// while the results do not fit. *rc is the call's return value.
std::set<std::string> LookupSet(VtmFsm fsm, const std::string& text, int mode, int* rc);

class AttReference;

// Looks up (analysis mode) each text of at most ten bytes whose reference result set is
// complete and not larger than 300, and expects the reference's set; returns how many
// were compared, stopping at the first difference. `what` names the case in messages.
int CompareLookups(VtmFsm fsm, const AttReference& ref, const std::vector<std::string>& texts,
                   const std::string& what);

}  // namespace vtm::test
