// Tag tables: tag code to name (1024 slots) and tag name to code (1009 slots), both
// open addressing with linear probing, filled from the "TAGMODE" named table.
#include "fst/fsm_tags.h"

#include <cstring>
#include <new>

namespace vtm {
namespace {

bool SameName(const char* stored, const char* name, std::size_t length) {
  return std::strlen(stored) == length && std::memcmp(stored, name, length) == 0;
}

void InsertByCode(TagSlot* slots, uint16_t code, const char* name) {
  const uint32_t home = TagCodeHome(code);
  uint32_t i = home;
  do {
    if (slots[i].code == 0 || slots[i].code == code) {
      slots[i] = {code, name};
      return;
    }
    i = (i + 1) % kTagNameSlots;
  } while (i != home);  // a full table drops the entry
}

void InsertByName(TagSlot* slots, uint16_t code, const char* name) {
  const std::size_t length = std::strlen(name);
  const uint32_t home = TagNameHash(name, length) % kTagCodeSlots;
  uint32_t i = home;
  do {
    if (slots[i].name == nullptr || SameName(slots[i].name, name, length)) {
      slots[i] = {code, name};
      return;
    }
    i = (i + 1) % kTagCodeSlots;
  } while (i != home);
}

}  // namespace

uint32_t TagNameHash(const char* name, std::size_t length) {
  uint32_t hash = 0;
  for (std::size_t i = 0; i < length; ++i) {
    // Bytes count as signed 8-bit values.
    hash = (hash << 4) + static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(name[i])));
    uint32_t g = hash & 0xF0000000u;
    if (g != 0) {
      hash ^= g >> 24;
      hash ^= g;
    }
  }
  return hash;
}

int BuildTagTables(VtmFsmRec* fsm) {
  NamedTable tagmode;
  if (!FsmFindNamedTable(fsm, kTagModeTable, &tagmode)) return 0;
  fsm->tagmode_members = tagmode.members;
  const uint32_t count = tagmode.keys.count;

  // One block holds every name text; each key must name a symbol.
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) {
    int length = FsmSymbolText(fsm, tagmode.keys[i], nullptr, 0);
    if (length == VTM_ERR_INVALID_NUMBER) return VTM_ERR_BAD_FILE;
    uint32_t symbol = tagmode.keys[i];
    total += 1u + fsm->symbol_names[symbol];
  }
  fsm->tag_text = new (std::nothrow) char[total == 0 ? 1 : total];
  fsm->tag_name_by_code = new (std::nothrow) TagSlot[kTagNameSlots]();
  fsm->tag_code_by_name = new (std::nothrow) TagSlot[kTagCodeSlots]();
  if (fsm->tag_text == nullptr || fsm->tag_name_by_code == nullptr ||
      fsm->tag_code_by_name == nullptr) {
    return VTM_ERR_NO_MEMORY;
  }
  fsm->tag_count = count;
  char* next = fsm->tag_text;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t symbol = tagmode.keys[i];
    int length = FsmSymbolText(fsm, symbol, next, fsm->symbol_names[symbol] + 1);
    if (length < 0) return VTM_ERR_BAD_FILE;
    InsertByCode(fsm->tag_name_by_code, tagmode.values[i], next);
    InsertByName(fsm->tag_code_by_name, tagmode.values[i], next);
    next += length + 1;
  }
  return 0;
}

uint16_t FsmTagCode(const VtmFsmRec* fsm, const char* name, std::size_t length) {
  const TagSlot* slots = fsm->tag_code_by_name;
  if (slots == nullptr) return 0;
  const uint32_t home = TagNameHash(name, length) % kTagCodeSlots;
  uint32_t i = home;
  do {
    if (slots[i].name == nullptr) return 0;
    if (SameName(slots[i].name, name, length)) return slots[i].code;
    i = (i + 1) % kTagCodeSlots;
  } while (i != home);
  return 0;
}

const char* FsmTagName(const VtmFsmRec* fsm, uint16_t code) {
  const TagSlot* slots = fsm->tag_name_by_code;
  if (slots == nullptr) return nullptr;
  const uint32_t home = TagCodeHome(code);
  uint32_t i = home;
  do {
    if (slots[i].code == code && code != 0) return slots[i].name;
    if (slots[i].code == 0) return nullptr;
    i = (i + 1) % kTagNameSlots;
  } while (i != home);
  return nullptr;
}

int FsmListTags(const VtmFsmRec* fsm, uint16_t* codes, int capacity, char* text, int size) {
  NamedTable tagmode;
  if (fsm->tag_code_by_name == nullptr || !FsmFindNamedTable(fsm, kTagModeTable, &tagmode)) {
    return 0;
  }
  if (codes == nullptr || capacity < 0) capacity = 0;
  if (text == nullptr || size < 0) size = 0;
  int used = 0;
  for (uint32_t i = 0; i < tagmode.keys.count; ++i) {
    if (static_cast<int64_t>(i) >= capacity) return VTM_ERR_OUTPUT_TOO_LONG;
    int length = FsmSymbolText(fsm, tagmode.keys[i], text + used, size - used);
    if (length < 0) return VTM_ERR_OUTPUT_TOO_LONG;
    used += length + 1;
    codes[i] = tagmode.values[i];
  }
  return static_cast<int>(tagmode.keys.count);
}

}  // namespace vtm
