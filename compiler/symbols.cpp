// Classification of AT&T symbol texts.
#include "symbols.h"

#include <cstdio>

#include "cp1252.h"
#include "quoted_text.h"

namespace vtm::compiler {
namespace {

std::string CodePointText(char32_t cp) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(cp));
  return buffer;
}

SymbolStatus Flag(std::string_view text, Symbol* out, std::string* error) {
  // text is "@X.rest@"
  std::string_view body = text.substr(3, text.size() - 4);
  char op = text[1];
  std::size_t dot = body.find('.');
  std::string_view feature = body.substr(0, dot);
  if (op == 'U' && dot != std::string_view::npos && !feature.empty() && dot + 1 < body.size() &&
      body.find('.', dot + 1) == std::string_view::npos) {
    *out =
        Symbol{SymbolKind::kFlag, 0, std::string(feature), 'U', std::string(body.substr(dot + 1))};
    return SymbolStatus::kOk;
  }
  if (op == 'C' && dot == std::string_view::npos && !body.empty()) {
    *out = Symbol{SymbolKind::kFlag, 0, std::string(body), 'C', ""};
    return SymbolStatus::kOk;
  }
  if (op == 'U' || op == 'C') {
    *error = "malformed flag diacritic '" + QuotedText(text) + "'";
  } else {
    *error = "flag diacritic '" + QuotedText(text) +
             "' is not supported: only @U.feature.value@ and @C.feature@ can be compiled";
  }
  return SymbolStatus::kInvalid;
}

}  // namespace

SymbolStatus ClassifySymbol(std::string_view text, Symbol* out, std::string* error) {
  *out = Symbol();
  if (text == "@0@" || text == "@_EPSILON_SYMBOL_@") return SymbolStatus::kOk;
  if (text == "@_SPACE_@") text = " ";
  if (text == "@_TAB_@") text = "\t";
  if (text == "*TAGSEP*") {
    out->kind = SymbolKind::kTagSep;
    return SymbolStatus::kOk;
  }
  if (text == "EOS" || text == "TB" || text == "EOF") {
    out->kind = text == "EOS"  ? SymbolKind::kEos
                : text == "TB" ? SymbolKind::kTb
                               : SymbolKind::kEof;
    return SymbolStatus::kOk;
  }
  if (text.size() >= 4 && text.front() == '@' && text.back() == '@' && text[2] == '.' &&
      text[1] >= 'A' && text[1] <= 'Z')
    return Flag(text, out, error);
  if (text.size() >= 4 && text.substr(0, 2) == "@_" && text.substr(text.size() - 2) == "_@") {
    *error = "special symbol '" + QuotedText(text) + "' is not supported";
    return SymbolStatus::kInvalid;
  }
  std::size_t pos = 0;
  auto first = DecodeUtf8(text, &pos);
  if (!first) {
    *error = "symbol '" + QuotedText(text) + "' is not valid UTF-8";
    return SymbolStatus::kInvalid;
  }
  if (pos == text.size()) {  // a single character
    auto byte = ToCp1252(*first);
    // The five bytes code page 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are
    // named by the C1 control of the same value, which is how FromCp1252 reads them: a
    // transducer can then hold every byte a caller may pass.
    if (!byte && *first >= 0x80 && *first <= 0x9F &&
        FromCp1252(static_cast<unsigned char>(*first)) == *first)
      byte = static_cast<unsigned char>(*first);
    if (!byte) {
      *error = "character " + CodePointText(*first) + " ('" + QuotedText(text) +
               "') has no Windows-1252 code";
      return SymbolStatus::kUnmappable;
    }
    if (*byte == 0) {
      *error = "the NUL character cannot be coded";
      return SymbolStatus::kInvalid;
    }
    out->kind = SymbolKind::kChar;
    out->byte = *byte;
    return SymbolStatus::kOk;
  }
  std::string_view name = text;
  if (text.size() > 2 &&
      ((text.front() == '<' && text.back() == '>') || (text.front() == '[' && text.back() == ']')))
    name = text.substr(1, text.size() - 2);
  auto bytes = Utf8ToCp1252(name);
  if (!bytes) {
    *error = "tag '" + QuotedText(text) +
             "' is not valid UTF-8 or has characters outside "
             "Windows-1252";
    return SymbolStatus::kInvalid;
  }
  if (bytes->size() > kMaxTagName) {
    *error = "tag name '" + QuotedText(name) + "' is longer than " + std::to_string(kMaxTagName) +
             " bytes";
    return SymbolStatus::kInvalid;
  }
  for (unsigned char c : *bytes) {
    if (c == '[' || c == ']' || c < 0x20) {
      *error = "tag name '" + QuotedText(name) +
               "' holds a bracket or control character and could not be written in text";
      return SymbolStatus::kInvalid;
    }
  }
  out->kind = SymbolKind::kTag;
  out->name = *bytes;
  return SymbolStatus::kOk;
}

}  // namespace vtm::compiler
