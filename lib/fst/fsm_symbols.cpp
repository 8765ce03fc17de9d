// Symbol names, named tables and the special symbol codes of a loaded transducer.
#include <cstring>

#include "fst/fsm.h"

namespace vtm {
namespace {

// Length of the name of symbol index `symbol`, or -1 when the index does not open a
// name that lies wholly inside the symbol name table.
int64_t SymbolLength(const VtmFsmRec* fsm, uint32_t symbol) {
  const U16View& names = fsm->symbol_names;
  if (symbol == 0 || !names.has(symbol)) return -1;
  uint32_t length = names[symbol];
  if (static_cast<uint64_t>(symbol) + length >= names.count) return -1;
  return length;
}

}  // namespace

bool FsmSymbolMatches(const VtmFsmRec* fsm, uint32_t symbol, const char* text, std::size_t length) {
  int64_t stored = SymbolLength(fsm, symbol);
  if (stored < 0 || static_cast<std::size_t>(stored) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (fsm->symbol_names[symbol + 1 + static_cast<uint32_t>(i)] !=
        static_cast<unsigned char>(text[i])) {
      return false;
    }
  }
  return true;
}

int FsmSymbolText(const VtmFsmRec* fsm, uint32_t symbol, char* buffer, int size) {
  int64_t length = SymbolLength(fsm, symbol);
  if (length < 0) return VTM_ERR_INVALID_NUMBER;
  if (buffer == nullptr || length + 1 > size) return VTM_ERR_OUTPUT_TOO_LONG;
  for (int64_t i = 0; i < length; ++i) {
    buffer[i] = static_cast<char>(fsm->symbol_names[symbol + 1 + static_cast<uint32_t>(i)] & 0xFF);
  }
  buffer[length] = '\0';
  return static_cast<int>(length);
}

bool FsmFindNamedTable(const VtmFsmRec* fsm, const char* name, NamedTable* out) {
  std::size_t length = std::strlen(name);
  for (uint32_t i = 0; i < fsm->named_table_count; ++i) {
    if (FsmSymbolMatches(fsm, fsm->named_tables[i].name, name, length)) {
      if (out != nullptr) *out = fsm->named_tables[i];
      return true;
    }
  }
  return false;
}

uint16_t FsmSpecialCode(const VtmFsmRec* fsm, const char* name) {
  NamedTable table;
  if (!FsmFindNamedTable(fsm, kDiacriticsTable, &table)) return 0;
  std::size_t length = std::strlen(name);
  for (uint32_t i = 0; i < table.keys.count; ++i) {
    if (FsmSymbolMatches(fsm, table.keys[i], name, length)) return table.values[i];
  }
  return 0;
}

uint32_t FsmCapabilities(const VtmFsmRec* fsm) {
  auto has = [fsm](int f) { return FsmFunctionSubnet(fsm, f) != kNoSubnet; };
  uint32_t word = 0;
  if (has(kFunctionAnalysis)) word += 0x001 + 0x008;
  if (has(kFunctionStemming)) word += 0x002 + 0x040;
  if (has(kFunctionTokenizing)) word += 0x004;
  if (has(kFunctionClassLexicon) && has(kFunctionClassGuesser)) word += 0x010;
  if (has(kFunctionExpansion)) word += 0x080;
  if (has(kFunctionGrouper)) word += 0x100;
  return word;
}

}  // namespace vtm
