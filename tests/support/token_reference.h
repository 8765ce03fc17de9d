// A deliberately simple second tokenizer for differential tests: the scanner's rules
// written out plainly over a std::string, with a std::map of tag properties, unlimited
// records, and chunks reported whole (as the identity tokenizer transducer returns
// them; a chunk holding a byte outside that transducer's alphabet fails).
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/token_fixtures.h"

namespace vtm::test {

// Tag name -> the tag specifications listed for it ("[html-para]" ...).
using TagTable = std::map<std::string, std::set<std::string>>;

struct ReferenceRun {
  int rc = 0;
  std::vector<TokenOut> tokens;
};

ReferenceRun ReferenceTokenize(const std::string& text, int flags, const TagTable& tags);

}  // namespace vtm::test
