// Meaning of AT&T symbol texts: epsilon, single characters (converted to cp1252),
// tags (multi-character symbols), the reserved control symbols and flag diacritics.
#pragma once

#include <string>
#include <string_view>

namespace vtm::compiler {

enum class SymbolKind {
  kEpsilon,  // "@0@", "@_EPSILON_SYMBOL_@"
  kChar,     // one character; `byte` is its cp1252 code
  kTag,      // multi-character symbol; `name` is its tag name
  kTagSep,   // "*TAGSEP*"
  kEos,      // "EOS": end of word
  kTb,       // "TB": token boundary
  kEof,      // "EOF": end of text
  kFlag,     // "@U.F.V@" (unify) or "@C.F@" (clear)
};

struct Symbol {
  SymbolKind kind = SymbolKind::kEpsilon;
  unsigned char byte = 0;
  std::string name;   // tag name; for flags the feature name
  char flag_op = 0;   // 'U' or 'C'
  std::string value;  // flag value name (unify only)
};

enum class SymbolStatus {
  kOk,
  kUnmappable,  // a single character outside cp1252 (may be dropped on request)
  kInvalid,     // anything else that cannot be coded
};

// Longest tag name that the byte-string coder can read between '[' and ']'.
inline constexpr std::size_t kMaxTagName = 61;

// Classifies an AT&T symbol text. Tags: "<n>" and "[n]" become "n"; other
// multi-character texts ("+Noun") are tag names as they are. "@_SPACE_@" and "@_TAB_@"
// are the space and tab characters. On failure *error says why.
SymbolStatus ClassifySymbol(std::string_view text, Symbol* out, std::string* error);

}  // namespace vtm::compiler
