// In-memory form of a loaded transducer file and the internal operations that the
// coder, the walks and the other subsystems use on it.
//
// File layout: a 92-byte big-endian header, the table area (file offsets 92 up to
// network_offset; every "table offset" is a file offset into it), then the network.
//
// Invariants of a VtmFsmRec returned by the loader (the loader refuses any file that
// would break them with VTM_ERR_BAD_FILE, so readers need no bounds checks of their own
// for what is listed here):
//  - every view below lies wholly inside table_area, with its element count known;
//  - every subnet's start_state is < network_size;
//  - every function-table byte is 255 or a valid subnet index;
//  - the near and far state tables have no stored length: near_count (far_count) is the
//    leading run of entries that lie inside the table area, can be reached by a one-byte
//    (two-byte) reference, and hold a location < network_size. A reference at or beyond
//    the count is a damaged network, which the walks must test for (index < count);
//  - char_first <= char_last and char_codes covers char_last - char_first + 1 entries;
//  - every named table's members, keys and values views lie inside the table area;
//  - a table offset of 0 means "absent" (empty) for every optional table.
// Symbol indexes (names of named tables, keys, members) are not checked at load except
// the TAGMODE keys; FsmSymbolText/FsmSymbolMatches check the index they are given.
// The network's internal references are not all checked at load; the walks stay inside
// [0, network_size) by checks of their own (see lib/lookup), except that the bytes
// just after a label byte are read without a test: the loader follows the network with
// kNetworkPad zero bytes, which read as the dead end a location outside it gives.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fst/format.h"
#include "vtmrt.h"

// The file header with every multi-byte field in host byte order. The natural layout of
// these fields has no padding, so the struct is exactly the 92 header bytes.
struct VtmHeaderRec {
  uint16_t unused0;
  uint8_t unused2;
  uint8_t header_size;
  uint8_t format_version;
  uint8_t unused5;
  uint8_t copyright_offset;
  uint8_t language;
  uint32_t creation_date;
  uint16_t near_table_offset;
  uint16_t far_table_offset;
  uint16_t unused16;
  uint16_t network_offset;
  uint16_t char_map_offset;
  uint8_t unused22;
  uint8_t esc_label;
  uint8_t near_ref_base;
  uint8_t far_ref_base;
  uint8_t abs_ref_base;
  uint8_t label_base;
  uint16_t unused28;
  uint16_t named_table_dir_offset;
  uint16_t unused32;
  uint8_t net_flags;
  uint8_t table_label;
  uint32_t unused36;
  uint16_t unused40;
  uint16_t subnet_dir_offset;
  uint16_t unused44;
  uint8_t esc_radix;
  uint8_t subnet_count;
  uint16_t unused48;
  uint8_t char_encoding;
  uint8_t code_flags;
  uint8_t eps_label;
  uint8_t unused53[3];
  uint16_t symbol_char_offset;
  uint8_t state_ref_width;
  uint8_t unused59;
  uint16_t unused60;
  uint16_t function_table_offset;
  uint32_t unused64;
  uint32_t network_size;
  uint16_t ext_table72;
  uint16_t ext_table74;
  uint16_t unused76;
  uint16_t unused78;
  uint16_t unused80;
  uint8_t char_map_count;
  uint8_t unused83;
  uint16_t unused84;
  uint8_t nid_label;
  uint8_t unused87;
  uint16_t unused88;
  uint16_t symbol_name_offset;
};
static_assert(sizeof(VtmHeaderRec) == vtm::kHeaderBytes, "the struct is the header");
static_assert(offsetof(VtmHeaderRec, creation_date) == vtm::header_offset::kCreationDate);
static_assert(offsetof(VtmHeaderRec, network_offset) == vtm::header_offset::kNetwork);
static_assert(offsetof(VtmHeaderRec, net_flags) == vtm::header_offset::kNetFlags);
static_assert(offsetof(VtmHeaderRec, code_flags) == vtm::header_offset::kCodeFlags);
static_assert(offsetof(VtmHeaderRec, function_table_offset) == vtm::header_offset::kFunctionTable);
static_assert(offsetof(VtmHeaderRec, network_size) == vtm::header_offset::kNetworkSize);
static_assert(offsetof(VtmHeaderRec, char_map_count) == vtm::header_offset::kCharMapCount);
static_assert(offsetof(VtmHeaderRec, nid_label) == vtm::header_offset::kNidLabel);
static_assert(offsetof(VtmHeaderRec, symbol_name_offset) == vtm::header_offset::kSymbolNames);

namespace vtm {

// Zero bytes after a loaded network: a label's target, a reference's remaining bytes or
// a direct-index table entry (at most 255 bytes after its first) read there.
inline constexpr uint32_t kNetworkPad = 256;

// Decoded near-table slots, one per byte value (VtmFsmRec::state_locations), and the
// location held by a slot that no reference reaches.
inline constexpr uint32_t kNearSlots = 256;
inline constexpr uint32_t kNoLocation = 0xFFFFFFFFu;

// Big-endian readers over bytes.
inline uint16_t Be16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline uint32_t Be24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}
inline uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | Be24(p + 1);
}

// A view of big-endian 16-bit words inside the table area.
struct U16View {
  const uint8_t* data = nullptr;
  uint32_t count = 0;
  uint16_t operator[](uint32_t i) const { return Be16(data + 2 * i); }
  bool has(uint32_t i) const { return data != nullptr && i < count; }
};

struct Subnet {
  uint32_t start_state;
  uint8_t first_char_label;
  uint8_t instr_label;
  uint16_t initial_flag_state;
};

struct TagSlot {
  uint16_t code;     // 0: empty slot (by-code table)
  const char* name;  // nullptr: empty slot (by-name table); owned by the transducer
};

inline constexpr int kTagNameSlots = 1024;
inline constexpr int kTagCodeSlots = 1009;

// Per-byte and per-code tables that the coder and the decoder read instead of working
// each character out from the char map, the symbol chars and the tag tables on every
// call; built once at load from those tables (fsm_coding_cache.cpp), so they say
// exactly what the tables say.
inline constexpr uint32_t kCachedTagEscapes = 4;  // tag names cached for 0..3 escapes
inline constexpr uint32_t kShortTag = 8;          // "[name]" of a name of up to 6 bytes
struct CachedTagName {
  const char* name;  // the tag's name, or "???" for a code that names no tag
  uint32_t length;
  // "[name]" padded with NULs to kShortTag bytes, so that it is copied as one block;
  // short_length is its length (name + 2), or 0 when the name is longer than 6 bytes.
  char bracketed[kShortTag];
  uint32_t short_length;
};
struct CodingCache {
  // Coder: input byte -> base code | escapes << 8; 0 when the byte is not in the
  // alphabet.
  uint32_t char_entry[256];
  // Coder: the one code of a byte that needs no escape; 0 for the bytes that need the
  // general path (NUL, '[', bytes with escapes or outside the alphabet).
  uint8_t plain_code[256];
  // Decoder: the text byte of a code written with no escape outside a tag run; -1 for
  // the codes that need the general path (NUL, esc_label, eos_code, tagsep_code).
  int16_t plain_char[256];
  // Decoder, inside a tag run (only when the transducer has tag tables): the name of
  // code c with e escapes at [e * 64 + c / 4], for e < kCachedTagEscapes.
  CachedTagName tag_names[kCachedTagEscapes * 64];
};

// A named table record (all fields resolved to views).
struct NamedTable {
  uint16_t name;    // symbol index of the table's name
  U16View members;  // element count from the word before the array
  U16View keys;     // `count` symbol indexes
  U16View values;   // `count` values
};

}  // namespace vtm

struct VtmFsmRec {
  VtmHeaderRec header;         // always first: header comparison works on either object kind
  uint8_t* table_area;         // owned; file offsets [header_size, network_offset)
  uint32_t table_size;         // bytes in table_area
  uint16_t table_base;         // header_size
  uint8_t* network;            // owned; network_size bytes, then kNetworkPad zero bytes
  const uint8_t* near_states;  // state_ref_width bytes per entry
  uint32_t near_count;         // usable entries (see the invariants above)
  const uint8_t* far_states;
  uint32_t far_count;
  vtm::U16View symbol_names;  // whole symbol name table, word 0 = its size in bytes
  vtm::U16View symbol_chars;  // indexed by symbol ordinal
  const uint8_t* char_codes;  // entries of the first char map record
  uint8_t char_first;
  uint8_t char_last;
  vtm::Subnet* subnets;            // owned; header.subnet_count entries
  vtm::U16View tagmode_members;    // none when data == nullptr
  vtm::TagSlot* tag_name_by_code;  // owned, kTagNameSlots, or nullptr
  vtm::TagSlot* tag_code_by_name;  // owned, kTagCodeSlots, or nullptr
  uint8_t tagsep_code;             // 0 when absent
  uint8_t eos_code;                // tb_code when absent
  uint8_t tb_code;                 // 1 when absent
  uint8_t eof_code;                // 1 when absent
  uint8_t eof_esc_count;           // 0 when absent
  // Additions to the layout above (readers may rely on them as well).
  vtm::NamedTable* named_tables;  // owned; the directory's records, resolved and checked
  uint32_t named_table_count;
  char* tag_text;            // owned; every TAGMODE name text, NUL-separated (the tag slots
                             // point into it)
  uint32_t tag_count;        // TAGMODE entries (keys) in table order
  vtm::CodingCache* coding;  // owned; built at load (never nullptr in a loaded transducer)
  // The function table in table_area (its count byte, then that many subnet indexes,
  // each checked), or nullptr when the file has none.
  const uint8_t* function_table;
  // Owned; the state tables decoded at load, so that a walk follows a reference with
  // one load instead of assembling big-endian bytes of the file's entry width:
  // kNearSlots locations indexed by a one-byte reference's byte (the near table's usable
  // entries from near_ref_base on, kNoLocation for every other byte), then the far
  // table's far_count usable entries.
  uint32_t* state_locations;
};

namespace vtm {

// Pointer to the item at a table offset, or nullptr when `bytes` bytes from there do
// not lie inside the table area.
const uint8_t* TableItem(const VtmFsmRec* fsm, uint32_t table_offset, uint32_t bytes);

// Sub-network index serving function f, or kNoSubnet.
inline int FsmFunctionSubnet(const VtmFsmRec* fsm, int f) {
  const uint8_t* table = fsm->function_table;  // checked at load
  if (table == nullptr || f < 1 || f > table[0]) return kNoSubnet;
  return table[f];
}
// First named table in directory order whose name symbol matches `name`.
bool FsmFindNamedTable(const VtmFsmRec* fsm, const char* name, NamedTable* out);
// Value of the first "*DIACRITICS*" key matching `name`, 0 when absent.
uint16_t FsmSpecialCode(const VtmFsmRec* fsm, const char* name);
// Tag code of a tag name (0 when unknown), and tag name of a code (nullptr when unknown).
uint16_t FsmTagCode(const VtmFsmRec* fsm, const char* name, std::size_t length);
const char* FsmTagName(const VtmFsmRec* fsm, uint16_t code);
// Lists the TAGMODE entries: names into `text` (NUL-separated), values into `codes`.
int FsmListTags(const VtmFsmRec* fsm, uint16_t* codes, int capacity, char* text, int size);
// Writes the name of symbol index `symbol` and a NUL; returns its length or -12.
int FsmSymbolText(const VtmFsmRec* fsm, uint32_t symbol, char* buffer, int size);
// True when the symbol at index `symbol` has the name `text` (byte length `length`).
bool FsmSymbolMatches(const VtmFsmRec* fsm, uint32_t symbol, const char* text, std::size_t length);

// Location held by entry `index` of the near (far) state table; false when the entry
// is not usable (index >= near_count / far_count): a damaged network.
inline bool NearState(const VtmFsmRec* fsm, uint32_t index, uint32_t* location) {
  if (index >= fsm->near_count) return false;
  *location = fsm->state_locations[fsm->header.near_ref_base + index];
  return true;
}
inline bool FarState(const VtmFsmRec* fsm, uint32_t index, uint32_t* location) {
  if (index >= fsm->far_count) return false;
  *location = fsm->state_locations[kNearSlots + index];
  return true;
}

// Builds fsm->coding from the loaded tables; 0 or VTM_ERR_NO_MEMORY.
int BuildCodingCache(VtmFsmRec* fsm);

// Capability word of a transducer.
uint32_t FsmCapabilities(const VtmFsmRec* fsm);

// Loads a transducer; on failure returns nullptr and sets *error.
VtmFsmRec* LoadFsm(const char* path, int* error);
void FreeFsm(VtmFsmRec* fsm);

}  // namespace vtm
