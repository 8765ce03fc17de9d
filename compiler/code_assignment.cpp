// Label code assignment.
#include "code_assignment.h"

#include <algorithm>

namespace vtm::compiler {

SymbolCode CodeAssignment::Code(uint32_t symbol) const {
  if (sym::IsChar(symbol)) return chars[symbol - sym::kCharBase];
  if (sym::IsTag(symbol)) return tags[symbol - sym::kTagBase];
  switch (symbol) {
    case sym::kEos:
      return {eos, 0};
    case sym::kTb:
      return {tb, 0};
    case sym::kEof:
      return {eof, 0};
    case sym::kTagSep:
      return {tagsep, 0};
    default:
      return {};
  }
}

void CodeAssignment::Append(uint32_t symbol, std::vector<uint8_t>* out) const {
  SymbolCode c = Code(symbol);
  if (escapes_after) out->push_back(c.base);
  out->insert(out->end(), c.escapes, esc);
  if (!escapes_after) out->push_back(c.base);
}

SymbolCounts CountSymbols(const Alphabet& alphabet, const std::vector<const SymGraph*>& graphs) {
  SymbolCounts counts;
  counts.tags.assign(alphabet.tags.size(), 0);
  for (const SymGraph* g : graphs) {
    for (const SymArc& arc : g->arcs) {
      if (arc.a != arc.b) counts.any_nonid = true;
      for (uint32_t s : {arc.a, arc.b}) {
        if (sym::IsChar(s)) ++counts.chars[s - sym::kCharBase];
        if (sym::IsTag(s)) ++counts.tags[s - sym::kTagBase];
        if (sym::IsFlag(s)) counts.any_flag = true;
      }
    }
  }
  return counts;
}

void WeightBySample(const std::string& sample, SymbolCounts* counts) {
  if (sample.empty()) return;
  std::vector<uint64_t> seen(256, 0);
  for (unsigned char c : sample) ++seen[c];
  // Sample counts in the high half, graph counts (capped) in the low half: every
  // character of the sample ranks above every character without one.
  constexpr uint64_t kLow = 0xFFFFFFFFu;
  for (int b = 0; b < 256; ++b) {
    uint64_t& n = counts->chars[b];
    if (n == 0) continue;
    n = std::min<uint64_t>(seen[b], kLow) << 32 | std::min(n, kLow);
  }
}

bool AssignCodes(uint8_t label_base, const Alphabet& alphabet, const SymbolCounts& counts,
                 CodeAssignment* out, std::string* error) {
  CodeAssignment a;
  a.label_base = label_base;
  int code = label_base;
  a.eps = static_cast<uint8_t>(code);
  code += 4;
  if (counts.any_nonid) a.nid = static_cast<uint8_t>(code), code += 4;
  if (counts.any_flag) a.instr = static_cast<uint8_t>(code), code += 4;
  a.first_char = static_cast<uint8_t>(code);
  // Flag operands are label bytes label_base + OperandOffset(f, v) + bits.
  if (counts.any_flag &&
      label_base + OperandOffset(uint32_t(alphabet.features.size()) - 1, kMaxValues) + 3 > 255) {
    *error = "label base " + std::to_string(label_base) + " leaves no room for flag operands";
    return false;
  }
  // Controls take the highest codes.
  int top = 252;
  auto take = [&](uint8_t* slot) { *slot = static_cast<uint8_t>(top), top -= 4; };
  take(&a.table);
  if (!alphabet.tags.empty() || alphabet.uses_tagsep) take(&a.tagsep);
  if (alphabet.uses_eos) take(&a.eos);
  if (alphabet.uses_tb) take(&a.tb);
  if (alphabet.uses_eof) take(&a.eof);

  // Symbols by descending frequency; ties by kind and value for determinism.
  struct Item {
    uint64_t count;
    uint32_t symbol;
  };
  std::vector<Item> items;
  for (int b = 0; b < 256; ++b)
    if (counts.chars[b]) items.push_back({counts.chars[b], sym::kCharBase + uint32_t(b)});
  for (uint32_t t = 0; t < alphabet.tags.size(); ++t)
    items.push_back({counts.tags[t], sym::kTagBase + t});
  std::stable_sort(items.begin(), items.end(),
                   [](const Item& x, const Item& y) { return x.count > y.count; });
  int bases = (top - a.first_char) / 4 + 1;
  if (bases < static_cast<int>(items.size())) take(&a.esc), --bases;
  if (bases < 1) {
    *error = "label base " + std::to_string(label_base) + " leaves no character codes";
    return false;
  }
  a.esc_radix = static_cast<uint8_t>((256 - label_base) / 4);
  a.chars.assign(256, {});
  a.tags.assign(alphabet.tags.size(), {});
  // Tier e holds `bases` symbols; within a tier characters take the lowest codes, next
  // to each other, so that direct-index tables over a state's characters stay short.
  for (std::size_t start = 0; start < items.size(); start += bases) {
    std::size_t end = std::min(items.size(), start + bases);
    std::stable_partition(items.begin() + start, items.begin() + end,
                          [](const Item& i) { return sym::IsChar(i.symbol); });
    uint16_t escapes = static_cast<uint16_t>(start / bases);
    for (std::size_t i = start; i < end; ++i) {
      SymbolCode c{static_cast<uint8_t>(a.first_char + 4 * (i - start)), escapes};
      uint32_t s = items[i].symbol;
      if (sym::IsChar(s)) {
        a.chars[s - sym::kCharBase] = c;
        a.max_char_escapes = std::max<int>(a.max_char_escapes, escapes);
      } else {
        a.tags[s - sym::kTagBase] = c;
      }
    }
  }
  if (a.max_char_escapes > 0x3FF || items.size() / bases > 255) {
    *error = "too many symbols for label base " + std::to_string(label_base);
    return false;
  }
  *out = std::move(a);
  return true;
}

}  // namespace vtm::compiler
