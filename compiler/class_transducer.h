// AT&T text of the two networks of a tagger's class transducer: the class lexicon
// (function 60: a word, then one tag symbol per alternative) and the class guesser
// (function 61: a deterministic automaton that ends any word with the tags of the
// longest suffix rule that matches it). Built into a file by BuildTransducer, which lays
// tags out as the class walk reads them. Tested in tests/lib/tagger_class_walk_test.cpp.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vtm::compiler {

// Word (cp1252 bytes) -> tag symbol names (without brackets).
using ClassEntries = std::map<std::string, std::vector<std::string>>;

std::string ClassLexiconAtt(const ClassEntries& entries);

struct SuffixRule {
  std::string suffix;                // cp1252 bytes; "" is the rule for every word
  std::vector<std::string> symbols;  // tag symbol names
};

struct GuesserRules {
  std::string alphabet;             // the bytes the guesser reads (others: no answer)
  std::vector<SuffixRule> lower;    // words that do not begin with a capital
  std::vector<SuffixRule> capital;  // words that begin with a capital letter
};

// The rules' suffixes must be distinct within each list and use only alphabet bytes.
std::string SuffixGuesserAtt(const GuesserRules& rules);

// The AT&T symbol text of a cp1252 byte (UTF-8, "@_SPACE_@", "@_TAB_@").
std::string AttCharSymbol(unsigned char byte);

}  // namespace vtm::compiler
