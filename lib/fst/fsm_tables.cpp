// Table area of a loaded transducer: bounded access to items by table offset, and the
// one-time resolution and checking of every table that later operations read.
#include "fst/fsm_tables.h"

#include <algorithm>
#include <new>

namespace vtm {
namespace {

// Number of leading entries of a state table that are usable: inside the table area,
// reachable by a reference (`reachable` entries at most) and naming a network location.
uint32_t UsableStates(const VtmFsmRec* fsm, const uint8_t* table, uint32_t reachable) {
  const uint32_t width = fsm->header.state_ref_width;
  const uint8_t* end = fsm->table_area + fsm->table_size;
  uint32_t fit = static_cast<uint32_t>(end - table) / width;
  uint32_t limit = std::min(fit, reachable);
  uint32_t n = 0;
  for (; n < limit; ++n) {
    const uint8_t* e = table + n * width;
    uint32_t location = width == 2 ? Be16(e) : Be24(e);
    if (location >= fsm->header.network_size) break;
  }
  return n;
}

// Sets one state table; false when the file names a table that cannot exist.
bool ResolveStateTable(const VtmFsmRec* fsm, uint16_t offset, uint32_t reachable,
                       const uint8_t** table, uint32_t* count) {
  *table = nullptr;
  *count = 0;
  if (offset == 0 || reachable == 0) return true;
  const uint8_t* start = TableItem(fsm, offset, 0);
  if (start == nullptr) return false;
  if (fsm->header.state_ref_width != 2 && fsm->header.state_ref_width != 3) return false;
  *table = start;
  *count = UsableStates(fsm, start, reachable);
  return true;
}

bool ResolveStates(VtmFsmRec* fsm) {
  const VtmHeaderRec& h = fsm->header;
  // The four reference bases split the byte values in ascending order.
  if (h.near_ref_base > h.far_ref_base || h.far_ref_base > h.abs_ref_base ||
      h.abs_ref_base > h.label_base) {
    return false;
  }
  uint32_t near_reachable = h.far_ref_base - h.near_ref_base;
  uint32_t far_reachable = static_cast<uint32_t>(h.abs_ref_base - h.far_ref_base) * 256;
  return ResolveStateTable(fsm, h.near_table_offset, near_reachable, &fsm->near_states,
                           &fsm->near_count) &&
         ResolveStateTable(fsm, h.far_table_offset, far_reachable, &fsm->far_states,
                           &fsm->far_count);
}

// Decodes the usable state table entries into fsm->state_locations (layout in fsm.h);
// false when memory is short. ResolveStates has bounded near_count by the reference
// bytes from near_ref_base up to far_ref_base, so the near slots stay below kNearSlots.
bool DecodeStates(VtmFsmRec* fsm) {
  const uint32_t width = fsm->header.state_ref_width;
  uint32_t* locations = new (std::nothrow) uint32_t[kNearSlots + fsm->far_count];
  if (locations == nullptr) return false;
  fsm->state_locations = locations;
  auto decode = [&](const uint8_t* table, uint32_t count, uint32_t* out) {
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = table + i * width;
      out[i] = width == 2 ? Be16(e) : Be24(e);
    }
  };
  std::fill(locations, locations + kNearSlots, kNoLocation);
  decode(fsm->near_states, fsm->near_count, locations + fsm->header.near_ref_base);
  decode(fsm->far_states, fsm->far_count, locations + kNearSlots);
  return true;
}

bool ResolveSymbolNames(VtmFsmRec* fsm) {
  fsm->symbol_names = {};
  uint16_t offset = fsm->header.symbol_name_offset;
  if (offset == 0) return true;
  const uint8_t* size_word = TableItem(fsm, offset, 2);
  if (size_word == nullptr) return false;
  uint32_t size = Be16(size_word);
  if (size < 2 || TableItem(fsm, offset, size) == nullptr) return false;
  fsm->symbol_names = {size_word, size / 2};
  return true;
}

bool ResolveCharMap(VtmFsmRec* fsm) {
  const VtmHeaderRec& h = fsm->header;
  const uint8_t* record = TableItem(fsm, h.char_map_offset, kCharMapRecordBytes);
  if (record == nullptr) return false;
  fsm->char_last = record[char_map_offset::kLast];
  fsm->char_first = record[char_map_offset::kFirst];
  if (fsm->char_first > fsm->char_last) return false;
  uint32_t width = (h.net_flags & kNetWideCharMap) ? 2 : 1;
  uint32_t span = static_cast<uint32_t>(fsm->char_last - fsm->char_first) + 1;
  fsm->char_codes = TableItem(fsm, Be16(record + char_map_offset::kEntries), span * width);
  return fsm->char_codes != nullptr;
}

bool ResolveSymbolChars(VtmFsmRec* fsm) {
  fsm->symbol_chars = {};
  uint16_t offset = fsm->header.symbol_char_offset;
  return offset == 0 || CountedArray(fsm, offset, &fsm->symbol_chars);
}

// Subnet descriptors; start states must name network locations.
int ResolveSubnets(VtmFsmRec* fsm) {
  const VtmHeaderRec& h = fsm->header;
  uint32_t count = h.subnet_count;
  if (count == 0) return 0;
  const uint8_t* directory = TableItem(fsm, h.subnet_dir_offset, 2 * count);
  if (directory == nullptr) return VTM_ERR_BAD_FILE;
  fsm->subnets = new (std::nothrow) Subnet[count];
  if (fsm->subnets == nullptr) return VTM_ERR_NO_MEMORY;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* d = TableItem(fsm, Be16(directory + 2 * i), kSubnetDescriptorBytes);
    if (d == nullptr) return VTM_ERR_BAD_FILE;
    Subnet& s = fsm->subnets[i];
    s.start_state = Be32(d + subnet_offset::kStartState);
    s.first_char_label = d[subnet_offset::kFirstCharLabel];
    s.instr_label = d[subnet_offset::kInstrLabel];
    s.initial_flag_state = Be16(d + subnet_offset::kInitialFlagState);
    if (s.start_state >= h.network_size) return VTM_ERR_BAD_FILE;
  }
  return 0;
}

// Function table: a count byte N and N subnet indexes (255: function not offered).
// Checked and resolved into fsm->function_table.
bool ResolveFunctionTable(VtmFsmRec* fsm) {
  fsm->function_table = nullptr;
  uint16_t offset = fsm->header.function_table_offset;
  if (offset == 0) return true;
  const uint8_t* table = TableItem(fsm, offset, 1);
  if (table == nullptr || TableItem(fsm, offset, 1u + table[0]) == nullptr) return false;
  for (int f = 1; f <= table[0]; ++f) {
    if (table[f] != kNoSubnet && table[f] >= fsm->header.subnet_count) return false;
  }
  fsm->function_table = table;
  return true;
}

// A view of `count` u16 words at a table offset (none needed when count is 0).
bool FixedArray(const VtmFsmRec* fsm, uint16_t offset, uint32_t count, U16View* out) {
  *out = {};
  if (count == 0) return true;
  const uint8_t* data = TableItem(fsm, offset, 2 * count);
  if (data == nullptr) return false;
  *out = {data, count};
  return true;
}

int ResolveNamedTables(VtmFsmRec* fsm) {
  uint16_t offset = fsm->header.named_table_dir_offset;
  if (offset == 0) return 0;
  U16View directory;
  if (!CountedArray(fsm, offset, &directory)) return VTM_ERR_BAD_FILE;
  if (directory.count == 0) return 0;
  fsm->named_tables = new (std::nothrow) NamedTable[directory.count];
  if (fsm->named_tables == nullptr) return VTM_ERR_NO_MEMORY;
  fsm->named_table_count = directory.count;
  for (uint32_t i = 0; i < directory.count; ++i) {
    const uint8_t* r = TableItem(fsm, directory[i], kNamedTableRecordBytes);
    if (r == nullptr) return VTM_ERR_BAD_FILE;
    NamedTable& t = fsm->named_tables[i];
    namespace o = named_table_offset;
    t.name = Be16(r + o::kName);
    t.members = {};
    uint16_t members = Be16(r + o::kMembers);
    uint32_t count = Be16(r + o::kCount);
    if ((members != 0 && !CountedArray(fsm, members, &t.members)) ||
        !FixedArray(fsm, Be16(r + o::kKeys), count, &t.keys) ||
        !FixedArray(fsm, Be16(r + o::kValues), count, &t.values)) {
      return VTM_ERR_BAD_FILE;
    }
  }
  return 0;
}

}  // namespace

const uint8_t* TableItem(const VtmFsmRec* fsm, uint32_t table_offset, uint32_t bytes) {
  if (table_offset < fsm->table_base || fsm->table_area == nullptr) return nullptr;
  uint64_t start = table_offset - fsm->table_base;
  if (start + bytes > fsm->table_size) return nullptr;
  return fsm->table_area + start;
}

bool CountedArray(const VtmFsmRec* fsm, uint32_t offset, U16View* out) {
  *out = {};
  if (offset < 2) return false;
  const uint8_t* count_word = TableItem(fsm, offset - 2, 2);
  if (count_word == nullptr) return false;
  uint32_t count = Be16(count_word);
  const uint8_t* data = TableItem(fsm, offset, 2 * count);
  if (data == nullptr) return false;
  *out = {data, count};
  return true;
}

const uint8_t* CopyrightRecord(const VtmFsmRec* fsm) {
  uint16_t offset = fsm->header.copyright_offset;
  return offset == 0 ? nullptr : TableItem(fsm, offset, 1);
}

int ResolveTables(VtmFsmRec* fsm) {
  // Table offsets are file offsets; the table area starts right after the header.
  if (fsm->header.header_size != kHeaderBytes) return VTM_ERR_BAD_FILE;
  fsm->table_base = fsm->header.header_size;
  const uint8_t* copyright = CopyrightRecord(fsm);
  if (fsm->header.copyright_offset != 0 &&
      (copyright == nullptr ||
       TableItem(fsm, fsm->header.copyright_offset, 1u + copyright[0]) == nullptr)) {
    return VTM_ERR_BAD_FILE;
  }
  if (!ResolveStates(fsm) || !ResolveSymbolNames(fsm) || !ResolveCharMap(fsm) ||
      !ResolveSymbolChars(fsm)) {
    return VTM_ERR_BAD_FILE;
  }
  if (!DecodeStates(fsm)) return VTM_ERR_NO_MEMORY;
  if (int rc = ResolveSubnets(fsm)) return rc;
  if (!ResolveFunctionTable(fsm)) return VTM_ERR_BAD_FILE;
  return ResolveNamedTables(fsm);
}

}  // namespace vtm
