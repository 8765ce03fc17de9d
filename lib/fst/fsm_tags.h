// Tag tables of a transducer with a "TAGMODE" named table: built once at load.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fst/fsm.h"

namespace vtm {

// Home slots of the two open-addressing tables.
uint32_t TagNameHash(const char* name, std::size_t length);
inline uint32_t TagCodeHome(uint16_t code) {
  return ((((code >> 6) & 0xFCu) + code) & 0x3FFu);
}

// Builds tagmode_members, the name texts and both tag tables; 0, VTM_ERR_BAD_FILE
// (a key that names no symbol) or VTM_ERR_NO_MEMORY.
int BuildTagTables(VtmFsmRec* fsm);

}  // namespace vtm
