// Grouping transducers for the grouper tests, compiled from path lists with the
// transducer compiler, and a reference reading of a path's output symbols as group
// records (the rules of the parse, applied to symbol names instead of codes).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/fsm_fixtures.h"
#include "vtmrt.h"

namespace vtm::test {

// A path of a grouping transducer: its output symbols, space-separated. Symbols that
// begin with "(" or ")" are inserted (empty input side); the others are tags that pass
// through; "+X" inserts the tag X. "DT (np JJ NN )np" accepts the tags DT JJ NN.
using Paths = std::vector<std::string>;

// AT&T text of a transducer holding the paths (one chain of states each).
std::string PathsAtt(const Paths& paths);

// Compiles function 62 from `sentence` and function 63 from `inner` (each when not empty).
// Every tag of `extra_tags` is added to the tag table (as a path of its own that needs
// a tag that is never given, "zzz").
FsmPtr BuildGrouping(const Paths& sentence, const Paths& inner = {},
                     const std::vector<std::string>& extra_tags = {});

struct GrouperCloser {
  void operator()(VtmGrouperRec* g) const { vtm_free_grouper(g); }
};
using GrouperPtr = std::unique_ptr<VtmGrouperRec, GrouperCloser>;

// Tags as vtm_group takes them: consecutive zero-terminated strings.
std::string TagList(const std::vector<std::string>& tags);

struct Grouped {
  int rc = 0;
  std::vector<VtmGroup> records;    // rc records when rc >= 0
  std::vector<std::string> labels;  // label of each record
};

Grouped Group(VtmGrouper grouper, const std::vector<std::string>& tags, int flags = 0,
              int capacity = 64, int names_size = 1024);

// Readable form of records: "np 0 3; vp 3 -1".
std::string Show(const Grouped& g);

}  // namespace vtm::test
