// Low-level transducer file writer: lays out the bytes of a valid transducer file from
// a description of its parts (header fields, copyright and version, symbols, named
// tables, function table, subnets, char map, symbol characters, state tables and the
// network bytes, which are taken as given). All multi-byte values are written
// big-endian; the writer places every table and fills in every offset and count.
//
// File layout produced: header (92 bytes); copyright and version section; symbol name
// table; symbol-to-character table; char map records and entries; named-table
// directory, records and arrays; function table; subnet directory and descriptors;
// near and far state tables; then the network.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fst/format.h"

namespace vtm::compiler {

// Header fields the writer does not compute itself. The offsets, counts and sizes of
// the tables (and net_flags bit 1, from CharMapSpec::wide) are filled in by the writer.
struct HeaderSpec {
  uint8_t format_version = kFormatVersion;
  uint8_t language = 0;
  uint32_t creation_date = 0;
  uint8_t esc_label = 0;
  uint8_t near_ref_base = 1;
  uint8_t far_ref_base = 1;
  uint8_t abs_ref_base = 1;
  uint8_t label_base = 4;
  uint8_t extended = 0;  // net_flags bit 0: absolute references carry a trailer
  uint8_t table_label = 0;
  uint8_t esc_radix = 0;
  uint8_t char_encoding = 0;
  uint8_t code_flags = 0;
  uint8_t eps_label = 0;
  uint8_t state_ref_width = 3;  // 2 or 3
  uint8_t nid_label = 0;
  uint16_t ext_table72 = 0;  // passed through (meaningful with `extended` only)
  uint16_t ext_table74 = 0;
};

// A named table. Keys are symbol names (added to the symbol table when missing);
// `members` is written as given (symbol indexes, indexed by symbol ordinal).
struct NamedTableSpec {
  std::string name;
  std::vector<uint16_t> members;
  std::vector<std::pair<std::string, uint16_t>> entries;  // key name, value
};

// A subnet descriptor: the four fields the runtime reads, over a raw 36-byte base
// (bytes the runtime does not interpret, for writers that need them).
struct SubnetSpec {
  uint32_t start_state = 0;
  uint8_t first_char_label = 0;
  uint8_t instr_label = 0;
  uint16_t initial_flag_state = 0;
  std::array<uint8_t, kSubnetDescriptorBytes> raw{};
};

// The first char map record: one entry per input byte from `first` to `last`.
// `wide` selects 16-bit entries (net_flags bit 1). `extra_records` further 16-byte
// records (all zero) follow the first, raising char_map_count.
struct CharMapSpec {
  uint8_t first = 0;
  uint8_t last = 0;
  bool wide = false;
  std::vector<uint16_t> entries;  // missing entries are written as 0
  int extra_records = 0;
};

struct TransducerSpec {
  HeaderSpec header;
  std::string copyright;  // stored bytes, at most 255
  // Bytes written right after the copyright text, then a 0 byte: e.g. "2.2", or a
  // printable line, "\r\n\r\n" and the version.
  std::string version;
  std::vector<std::string> symbols;  // in symbol-index order; see SymbolIndex
  std::vector<NamedTableSpec> named_tables;
  std::vector<uint8_t> functions;  // functions[f - 1]: subnet of function f, or 255
  std::vector<SubnetSpec> subnets;
  CharMapSpec char_map;
  std::vector<uint16_t> symbol_chars;  // indexed by symbol ordinal
  std::vector<uint32_t> near_states;   // network locations
  std::vector<uint32_t> far_states;
  std::vector<uint8_t> network;
};

// Where the writer put things (file offsets), for callers that patch or check bytes.
struct Layout {
  uint16_t copyright = 0;
  uint16_t symbol_names = 0;
  uint16_t symbol_chars = 0;
  uint16_t char_map = 0;
  uint16_t char_map_entries = 0;
  uint16_t named_table_dir = 0;
  std::vector<uint16_t> named_table_records;
  uint16_t function_table = 0;
  uint16_t subnet_dir = 0;
  std::vector<uint16_t> subnet_descriptors;
  uint16_t near_states = 0;
  uint16_t far_states = 0;
  uint16_t network = 0;
  std::vector<std::string> symbols;      // final symbol list (named-table names added)
  std::vector<uint16_t> symbol_indexes;  // index of each of `symbols`
};

// Symbol index of symbols[position]: the word position of its length word in the
// symbol name table (the first name has index 1).
uint16_t SymbolIndex(const std::vector<std::string>& symbols, std::size_t position);
// Symbol index of the symbol named `name`, appending it to `symbols` when missing.
uint16_t InternSymbol(std::vector<std::string>& symbols, std::string_view name);

// Lays out the file. Returns false (and sets *error) when the description cannot be
// written: a table area beyond the 16-bit offsets, a copyright over 255 bytes, a symbol
// table over 65,535 bytes, a value that does not fit its field.
bool LayOutTransducer(const TransducerSpec& spec, std::vector<uint8_t>* out, std::string* error,
                      Layout* layout = nullptr);
// Lays out the file and writes it to `path`.
bool WriteTransducerFile(const std::string& path, const TransducerSpec& spec, std::string* error,
                         Layout* layout = nullptr);

// Big-endian stores into a byte vector (for patching laid-out files).
void PutU8(std::vector<uint8_t>& bytes, std::size_t offset, uint8_t value);
void PutU16(std::vector<uint8_t>& bytes, std::size_t offset, uint16_t value);
void PutU32(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value);

}  // namespace vtm::compiler
