// Groupers compiled from chunk grammars, for the grammar compiler tests.
#pragma once

#include <string>
#include <vector>

#include "support/group_fixtures.h"

namespace vtm::test {

struct ChunkGrouper {
  FsmPtr fsm;
  GrouperPtr grouper;
  std::string error;  // set when the grammar does not compile
};

// Compiles `grammar` (and `subgrammar` when not empty) over `tags` into functions 62
// (and 63) and makes a grouper on the result.
ChunkGrouper CompileChunks(const std::string& grammar, const std::vector<std::string>& tags,
                           const std::string& subgrammar = "");

// Groups of a tag sequence as "label first count" items in record order.
std::string Chunks(const ChunkGrouper& g, const std::string& tags, int flags = 0);

}  // namespace vtm::test
