// Chunk grammars in the chunk-rule notation of NLTK's RegexpParser: stages "LABEL:"
// followed by chunk rules "{<tag pattern>...}" (on the label's line or the lines after
// it), "#" comments. A rule's tag pattern is compiled into a prioritised program over
// tokens (the backtracking order of a regular-expression engine: greedy quantifiers
// try one more repetition first, alternatives are tried left to right), whose token
// tests are regular expressions over one tag name (or an earlier stage's label).
// Tested in tests/lib/chunk_grammar_test.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vtm::compiler {

// One instruction of a rule's program. An optional repetition begins with kEnter and
// ends with kIter: an iteration that took no token leaves the repetition (goes on after
// it) instead of trying another one, as a backtracking engine's zero-width protection
// does.
struct ChunkInst {
  enum Op : uint8_t { kTag, kSplit, kJump, kMatch, kEnter, kIter } op = kMatch;
  int x = 0;     // kSplit: preferred branch; kJump: target; kIter: next iteration
  int y = 0;     // kSplit: other branch; kIter: after the repetition
  int test = 0;  // kTag: index of the rule's tag test; kEnter, kIter: repetition number
};

struct ChunkRule {
  int line = 0, column = 0;        // of the rule's "{"
  std::vector<std::string> tests;  // tag regular expressions (the text inside <...>)
  std::vector<ChunkInst> program;  // starts at 0
};

struct ChunkStage {
  std::string label;  // as written (tag patterns of later stages match it)
  int line = 0;
  std::vector<ChunkRule> rules;
};

// Parses a grammar. On failure returns false and sets *error to "line L, column C: ...".
// Refused: rules before the first stage label, rules other than chunk rules, bad tag
// patterns, and patterns that match the empty token sequence.
bool ParseChunkGrammar(const std::string& text, std::vector<ChunkStage>* stages,
                       std::string* error);

// Longest stage label (the grouper ignores longer label names).
inline constexpr std::size_t kMaxChunkLabel = 30;

}  // namespace vtm::compiler
