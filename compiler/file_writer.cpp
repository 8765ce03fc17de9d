// Transducer file writer (see file_writer.h): places the tables one after another
// behind the header and records their offsets in the header.
#include "compiler/file_writer.h"

#include <array>
#include <cstdio>
#include <fstream>

namespace vtm::compiler {
namespace {

constexpr std::size_t kMaxTableOffset = 0xFFFF;

class Emitter {
 public:
  explicit Emitter(std::vector<uint8_t>* bytes) : bytes_(bytes) {}
  std::size_t Here() const { return bytes_->size(); }
  void U8(uint8_t v) { bytes_->push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v >> 8));
    U8(static_cast<uint8_t>(v));
  }
  void U24(uint32_t v) {
    U8(static_cast<uint8_t>(v >> 16));
    U16(static_cast<uint16_t>(v));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v >> 16));
    U16(static_cast<uint16_t>(v));
  }
  // A u16 array preceded by its element count; returns the offset of the array.
  std::size_t Counted(const std::vector<uint16_t>& words) {
    U16(static_cast<uint16_t>(words.size()));
    std::size_t at = Here();
    for (uint16_t w : words) U16(w);
    return at;
  }

 private:
  std::vector<uint8_t>* bytes_;
};

bool Fail(std::string* error, const std::string& message) {
  if (error != nullptr) *error = message;
  return false;
}

// Offsets must fit the 16-bit table offset fields.
bool Offset16(std::size_t at, uint16_t* out) {
  if (at > kMaxTableOffset) return false;
  *out = static_cast<uint16_t>(at);
  return true;
}

bool WriteSymbolNames(Emitter& e, const std::vector<std::string>& symbols, uint16_t* at,
                      std::vector<uint16_t>* indexes, std::string* error) {
  std::size_t size = 2;
  for (const std::string& s : symbols) size += 2 + 2 * s.size();
  if (size > kMaxTableOffset) return Fail(error, "symbol name table exceeds 65535 bytes");
  if (!Offset16(e.Here(), at)) return Fail(error, "table area exceeds 65535 bytes");
  e.U16(static_cast<uint16_t>(size));
  uint32_t word = 1;
  for (const std::string& s : symbols) {
    indexes->push_back(static_cast<uint16_t>(word));
    e.U16(static_cast<uint16_t>(s.size()));
    for (unsigned char c : s) e.U16(c);
    word += 1 + static_cast<uint32_t>(s.size());
  }
  return true;
}

bool WriteCharMap(Emitter& e, const CharMapSpec& map, Layout* layout, std::string* error) {
  if (map.first > map.last) return Fail(error, "char map first byte above last byte");
  const std::size_t span = static_cast<std::size_t>(map.last - map.first) + 1;
  if (map.entries.size() > span) return Fail(error, "char map has more entries than bytes");
  const std::size_t records = 1 + static_cast<std::size_t>(map.extra_records);
  if (map.extra_records < 0 || records > 255) return Fail(error, "bad char map record count");
  if (!Offset16(e.Here(), &layout->char_map)) return Fail(error, "table area too large");
  // The entries follow the records.
  std::size_t entries_at = e.Here() + records * kCharMapRecordBytes;
  if (!Offset16(entries_at, &layout->char_map_entries)) {
    return Fail(error, "table area too large");
  }
  std::array<uint8_t, kCharMapRecordBytes> record{};
  namespace o = char_map_offset;
  record[o::kLast] = map.last;
  record[o::kFirst] = map.first;
  record[o::kCount] = static_cast<uint8_t>(span >> 8);
  record[o::kCount + 1] = static_cast<uint8_t>(span);
  record[o::kEntries] = static_cast<uint8_t>(layout->char_map_entries >> 8);
  record[o::kEntries + 1] = static_cast<uint8_t>(layout->char_map_entries);
  for (uint8_t b : record) e.U8(b);
  for (std::size_t r = 1; r < records; ++r) {
    for (int i = 0; i < kCharMapRecordBytes; ++i) e.U8(0);
  }
  for (std::size_t i = 0; i < span; ++i) {
    uint16_t v = i < map.entries.size() ? map.entries[i] : 0;
    if (map.wide) {
      e.U16(v);
    } else {
      if (v > 0xFF) return Fail(error, "8-bit char map entry above 255");
      e.U8(static_cast<uint8_t>(v));
    }
  }
  return true;
}

bool WriteNamedTables(Emitter& e, const std::vector<NamedTableSpec>& tables,
                      std::vector<std::string>& symbols, Layout* layout, std::string* error) {
  // Arrays first, then the records, then the directory.
  struct Placed {
    uint16_t name, members, keys, count, values;
  };
  std::vector<Placed> placed;
  for (const NamedTableSpec& t : tables) {
    if (t.entries.size() > 0xFFFF || t.members.size() > 0xFFFF) {
      return Fail(error, "named table too large");
    }
    Placed p{};
    p.name = InternSymbol(symbols, t.name);
    std::vector<uint16_t> keys, values;
    for (const auto& [key, value] : t.entries) {
      keys.push_back(InternSymbol(symbols, key));
      values.push_back(value);
    }
    bool ok = Offset16(e.Counted(t.members), &p.members);
    ok = ok && Offset16(e.Here(), &p.keys);
    for (uint16_t k : keys) e.U16(k);
    ok = ok && Offset16(e.Here(), &p.values);
    for (uint16_t v : values) e.U16(v);
    if (!ok) return Fail(error, "table area too large");
    p.count = static_cast<uint16_t>(keys.size());
    placed.push_back(p);
  }
  std::vector<uint16_t> directory;
  for (const Placed& p : placed) {
    uint16_t at;
    if (!Offset16(e.Here(), &at)) return Fail(error, "table area too large");
    directory.push_back(at);
    layout->named_table_records.push_back(at);
    e.U16(p.name);
    e.U16(p.members);
    e.U16(p.keys);
    e.U16(p.count);
    e.U16(p.values);
  }
  if (!Offset16(e.Counted(directory), &layout->named_table_dir)) {
    return Fail(error, "table area too large");
  }
  return true;
}

bool WriteSubnets(Emitter& e, const std::vector<SubnetSpec>& subnets, Layout* layout,
                  std::string* error) {
  if (subnets.size() > 255) return Fail(error, "more than 255 subnets");
  std::size_t first = e.Here() + 2 * subnets.size();
  if (!Offset16(e.Here(), &layout->subnet_dir)) return Fail(error, "table area too large");
  for (std::size_t i = 0; i < subnets.size(); ++i) {
    uint16_t at;
    if (!Offset16(first + i * kSubnetDescriptorBytes, &at)) {
      return Fail(error, "table area too large");
    }
    layout->subnet_descriptors.push_back(at);
    e.U16(at);
  }
  for (const SubnetSpec& s : subnets) {
    std::array<uint8_t, kSubnetDescriptorBytes> d = s.raw;
    namespace o = subnet_offset;
    d[o::kStartState] = static_cast<uint8_t>(s.start_state >> 24);
    d[o::kStartState + 1] = static_cast<uint8_t>(s.start_state >> 16);
    d[o::kStartState + 2] = static_cast<uint8_t>(s.start_state >> 8);
    d[o::kStartState + 3] = static_cast<uint8_t>(s.start_state);
    d[o::kFirstCharLabel] = s.first_char_label;
    d[o::kInstrLabel] = s.instr_label;
    d[o::kInitialFlagState] = static_cast<uint8_t>(s.initial_flag_state >> 8);
    d[o::kInitialFlagState + 1] = static_cast<uint8_t>(s.initial_flag_state);
    for (uint8_t b : d) e.U8(b);
  }
  return true;
}

bool WriteStates(Emitter& e, const std::vector<uint32_t>& states, uint8_t width, uint16_t* at,
                 std::string* error) {
  if (!Offset16(e.Here(), at)) return Fail(error, "table area too large");
  for (uint32_t s : states) {
    if (width == 2) {
      if (s > 0xFFFF) return Fail(error, "state location does not fit 2 bytes");
      e.U16(static_cast<uint16_t>(s));
    } else {
      if (s > 0xFFFFFF) return Fail(error, "state location does not fit 3 bytes");
      e.U24(s);
    }
  }
  return true;
}

void WriteHeader(std::vector<uint8_t>& f, const TransducerSpec& spec, const Layout& l,
                 std::size_t char_map_records) {
  namespace o = header_offset;
  const HeaderSpec& h = spec.header;
  PutU8(f, o::kHeaderSize, kHeaderBytes);
  PutU8(f, o::kFormatVersion, h.format_version);
  PutU8(f, o::kCopyright, static_cast<uint8_t>(l.copyright));
  PutU8(f, o::kLanguage, h.language);
  PutU32(f, o::kCreationDate, h.creation_date);
  PutU16(f, o::kNearTable, l.near_states);
  PutU16(f, o::kFarTable, l.far_states);
  PutU16(f, o::kNetwork, l.network);
  PutU16(f, o::kCharMap, l.char_map);
  PutU8(f, o::kEscLabel, h.esc_label);
  PutU8(f, o::kNearRefBase, h.near_ref_base);
  PutU8(f, o::kFarRefBase, h.far_ref_base);
  PutU8(f, o::kAbsRefBase, h.abs_ref_base);
  PutU8(f, o::kLabelBase, h.label_base);
  PutU16(f, o::kNamedTableDir, l.named_table_dir);
  PutU8(f, o::kNetFlags,
        static_cast<uint8_t>((h.extended ? kNetExtended : 0) |
                             (spec.char_map.wide ? kNetWideCharMap : 0)));
  PutU8(f, o::kTableLabel, h.table_label);
  PutU16(f, o::kSubnetDir, l.subnet_dir);
  PutU8(f, o::kEscRadix, h.esc_radix);
  PutU8(f, o::kSubnetCount, static_cast<uint8_t>(spec.subnets.size()));
  PutU8(f, o::kCharEncoding, h.char_encoding);
  PutU8(f, o::kCodeFlags, h.code_flags);
  PutU8(f, o::kEpsLabel, h.eps_label);
  PutU16(f, o::kSymbolChars, l.symbol_chars);
  PutU8(f, o::kStateRefWidth, h.state_ref_width);
  PutU16(f, o::kFunctionTable, l.function_table);
  PutU32(f, o::kNetworkSize, static_cast<uint32_t>(spec.network.size()));
  PutU16(f, o::kExtTable72, h.ext_table72);
  PutU16(f, o::kExtTable74, h.ext_table74);
  PutU8(f, o::kCharMapCount, static_cast<uint8_t>(char_map_records));
  PutU8(f, o::kNidLabel, h.nid_label);
  PutU16(f, o::kSymbolNames, l.symbol_names);
}

}  // namespace

uint16_t SymbolIndex(const std::vector<std::string>& symbols, std::size_t position) {
  std::size_t word = 1;
  for (std::size_t i = 0; i < position && i < symbols.size(); ++i) word += 1 + symbols[i].size();
  return static_cast<uint16_t>(word);
}

uint16_t InternSymbol(std::vector<std::string>& symbols, std::string_view name) {
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    if (symbols[i] == name) return SymbolIndex(symbols, i);
  }
  symbols.emplace_back(name);
  return SymbolIndex(symbols, symbols.size() - 1);
}

void PutU8(std::vector<uint8_t>& bytes, std::size_t offset, uint8_t value) {
  bytes.at(offset) = value;
}
void PutU16(std::vector<uint8_t>& bytes, std::size_t offset, uint16_t value) {
  PutU8(bytes, offset, static_cast<uint8_t>(value >> 8));
  PutU8(bytes, offset + 1, static_cast<uint8_t>(value));
}
void PutU32(std::vector<uint8_t>& bytes, std::size_t offset, uint32_t value) {
  PutU16(bytes, offset, static_cast<uint16_t>(value >> 16));
  PutU16(bytes, offset + 2, static_cast<uint16_t>(value));
}

bool LayOutTransducer(const TransducerSpec& spec, std::vector<uint8_t>* out, std::string* error,
                      Layout* layout) {
  Layout local;
  Layout& l = layout != nullptr ? *layout : local;
  l = Layout{};
  const HeaderSpec& h = spec.header;
  if (spec.copyright.size() > 255) return Fail(error, "copyright longer than 255 bytes");
  if (h.state_ref_width != 2 && h.state_ref_width != 3) {
    return Fail(error, "state_ref_width must be 2 or 3");
  }
  if (spec.functions.size() > 255) return Fail(error, "more than 255 functions");

  std::vector<uint8_t> f(kHeaderBytes, 0);
  Emitter e(&f);

  // Copyright first: its offset field is 8 bits wide.
  l.copyright = static_cast<uint16_t>(e.Here());
  e.U8(static_cast<uint8_t>(spec.copyright.size()));
  for (unsigned char c : spec.copyright) e.U8(c);
  for (unsigned char c : spec.version) e.U8(c);
  e.U8(0);

  // Named tables add their names and keys to the symbols, so they come before the
  // symbol name table is written.
  std::vector<std::string> symbols = spec.symbols;
  if (!WriteNamedTables(e, spec.named_tables, symbols, &l, error)) return false;
  if (!WriteSymbolNames(e, symbols, &l.symbol_names, &l.symbol_indexes, error)) return false;
  l.symbols = symbols;

  if (spec.symbol_chars.size() > 0xFFFF) return Fail(error, "symbol-to-character table too large");
  if (!Offset16(e.Counted(spec.symbol_chars), &l.symbol_chars)) {
    return Fail(error, "table area too large");
  }
  if (!WriteCharMap(e, spec.char_map, &l, error)) return false;

  if (!Offset16(e.Here(), &l.function_table)) return Fail(error, "table area too large");
  e.U8(static_cast<uint8_t>(spec.functions.size()));
  for (uint8_t b : spec.functions) e.U8(b);

  if (!WriteSubnets(e, spec.subnets, &l, error)) return false;
  if (!WriteStates(e, spec.near_states, h.state_ref_width, &l.near_states, error)) return false;
  if (!WriteStates(e, spec.far_states, h.state_ref_width, &l.far_states, error)) return false;

  if (!Offset16(e.Here(), &l.network)) return Fail(error, "table area exceeds 65535 bytes");
  if (spec.network.size() > 0xFFFFFFFFu) return Fail(error, "network too large");
  f.insert(f.end(), spec.network.begin(), spec.network.end());

  WriteHeader(f, spec, l, 1 + static_cast<std::size_t>(spec.char_map.extra_records));
  *out = std::move(f);
  return true;
}

bool WriteTransducerFile(const std::string& path, const TransducerSpec& spec, std::string* error,
                         Layout* layout) {
  std::vector<uint8_t> bytes;
  if (!LayOutTransducer(spec, &bytes, error, layout)) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return Fail(error, "cannot create " + path);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) return Fail(error, "cannot write " + path);
  return true;
}

}  // namespace vtm::compiler
