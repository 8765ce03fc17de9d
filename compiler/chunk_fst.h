// Chunk grammars as transducers over tag symbols: one unambiguous transducer per chunk
// rule, composed in rule order. A rule's transducer guesses at each position whether a
// chunk starts there and, inside a chunk, whether it ends, and carries the checks that
// make exactly one guess survive: a position where no chunk starts must start no match
// of the rule's pattern (its threads may never reach a match), and a chunk must end
// where the pattern's first match in backtracking priority ends (a match is recorded
// there, and the threads of higher priority still running may never match later). Those
// are the semantics of NLTK's RegexpParser: each rule scans left to right, takes the
// first match a backtracking regular-expression engine finds at each position, never
// overlaps a match, and never matches across or inside a chunk of the same stage;
// chunks of earlier stages are single tokens named by their label. Tested in
// tests/lib/chunk_grammar_test.cpp and the NLTK comparison (scripts/test.d).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "att_reader.h"
#include "chunk_grammar.h"

namespace vtm::compiler {

// A transducer over symbol numbers (0 is epsilon).
struct SymFst {
  struct Arc {
    uint32_t in, out, to;
  };
  uint32_t start = 0;
  std::vector<uint8_t> final;
  std::vector<std::vector<Arc>> arcs;
  uint32_t Add(bool is_final) {
    final.push_back(is_final);
    arcs.emplace_back();
    return static_cast<uint32_t>(final.size() - 1);
  }
  std::size_t arc_count() const {
    std::size_t n = 0;
    for (const auto& a : arcs) n += a.size();
    return n;
  }
};

// Symbol numbers of a grammar over `tag_count` tags: tag i is i + 1; stage s opens
// with OpenSymbol(s) and closes with CloseSymbol(s).
struct ChunkSymbols {
  uint32_t tag_count = 0;
  uint32_t Tag(uint32_t i) const { return i + 1; }
  uint32_t OpenSymbol(uint32_t stage) const { return tag_count + 1 + 2 * stage; }
  uint32_t CloseSymbol(uint32_t stage) const { return tag_count + 2 + 2 * stage; }
};

// The transducer of rule `rule` of stage `stage`.
SymFst RuleTransducer(const std::vector<ChunkStage>& stages, uint32_t stage, uint32_t rule,
                      const std::vector<std::string>& tags, const ChunkSymbols& symbols);

// a then b (b reads what a writes; a writes no epsilon), trimmed to useful states.
SymFst Compose(const SymFst& a, const SymFst& b);

// The whole grammar over the tags, as an AT&T transducer for the transducer compiler:
// tags as "[tag]", bracket tags as "[(label]" and "[)label]" with the label in lower
// case. Returns false with *error when the transducer grows past `max_arcs`.
bool ChunkGrammarTransducer(const std::vector<ChunkStage>& stages,
                            const std::vector<std::string>& tags, AttTransducer* out,
                            std::string* error, std::size_t max_arcs = 20000000);

}  // namespace vtm::compiler
