// The compiled transducer format in one place: every constant of the file layout and of
// the network encoding. The loader, the walks, the coder and the compiler's file writer
// and encoder all take their numbers from here; no other file spells them out.
// Tested through the writer/loader round trips (tests/lib/fst_writer_test.cpp,
// fst_load_test.cpp) and the compiled-transducer differential tests.
//
// File: a big-endian 92-byte header, the table area (file offsets from 92 up to the
// network offset; a "table offset" is a file offset into it), then the network.
#pragma once

#include <cstdint>

namespace vtm {

// --- File header -------------------------------------------------------------------

inline constexpr int kHeaderBytes = 92;
inline constexpr uint8_t kFormatVersion = 1;

// File offsets of the header fields that the library and the writer use.
namespace header_offset {
inline constexpr int kHeaderSize = 3;
inline constexpr int kFormatVersion = 4;
inline constexpr int kCopyright = 6;
inline constexpr int kLanguage = 7;
inline constexpr int kCreationDate = 8;
inline constexpr int kNearTable = 12;
inline constexpr int kFarTable = 14;
inline constexpr int kNetwork = 18;
inline constexpr int kCharMap = 20;
inline constexpr int kEscLabel = 23;
inline constexpr int kNearRefBase = 24;
inline constexpr int kFarRefBase = 25;
inline constexpr int kAbsRefBase = 26;
inline constexpr int kLabelBase = 27;
inline constexpr int kNamedTableDir = 30;
inline constexpr int kNetFlags = 34;
inline constexpr int kTableLabel = 35;
inline constexpr int kSubnetDir = 42;
inline constexpr int kEscRadix = 46;
inline constexpr int kSubnetCount = 47;
inline constexpr int kCharEncoding = 50;
inline constexpr int kCodeFlags = 51;
inline constexpr int kEpsLabel = 52;
inline constexpr int kSymbolChars = 56;
inline constexpr int kStateRefWidth = 58;
inline constexpr int kFunctionTable = 62;
inline constexpr int kNetworkSize = 68;
inline constexpr int kExtTable72 = 72;
inline constexpr int kExtTable74 = 74;
inline constexpr int kCharMapCount = 82;
inline constexpr int kNidLabel = 86;
inline constexpr int kSymbolNames = 90;
}  // namespace header_offset

// net_flags bits.
inline constexpr uint8_t kNetExtended = 0x01;     // absolute references carry a trailer
inline constexpr uint8_t kNetWideCharMap = 0x02;  // char map entries are 16 bits wide

// code_flags bits.
inline constexpr uint8_t kCodeEscAfter = 0x80;     // escape codes follow their base code
inline constexpr uint8_t kCodeTableMax = 0x40;     // byte before a table = its largest offset
inline constexpr uint8_t kCodeTableSparse = 0x20;  // sparse index stored before a table

// --- Table area records --------------------------------------------------------------

// Sub-network descriptor: its size and the fields the library reads.
inline constexpr int kSubnetDescriptorBytes = 36;
namespace subnet_offset {
inline constexpr int kStartState = 8;         // u32
inline constexpr int kFirstCharLabel = 21;    // u8
inline constexpr int kInstrLabel = 32;        // u8
inline constexpr int kInitialFlagState = 34;  // u16
}  // namespace subnet_offset

// Char map record (the library reads the first one only).
inline constexpr int kCharMapRecordBytes = 16;
namespace char_map_offset {
inline constexpr int kLast = 1;     // u8: highest input byte covered
inline constexpr int kFirst = 5;    // u8: lowest input byte covered
inline constexpr int kCount = 6;    // u16: number of entries
inline constexpr int kEntries = 8;  // u16: table offset of the entries
}  // namespace char_map_offset

// Named-table record: five u16 fields.
inline constexpr int kNamedTableRecordBytes = 10;
namespace named_table_offset {
inline constexpr int kName = 0;
inline constexpr int kMembers = 2;
inline constexpr int kKeys = 4;
inline constexpr int kCount = 6;
inline constexpr int kValues = 8;
}  // namespace named_table_offset

// The named tables and keys the library reads. "*DIACRITICS*" values and "TAGMODE"
// values are (label byte * 256) + escape count; a "*DIACRITICS*" value of 0 is absent.
inline constexpr const char* kDiacriticsTable = "*DIACRITICS*";
inline constexpr const char* kTagModeTable = "TAGMODE";
inline constexpr const char* kTagSepKey = "*TAGSEP*";
inline constexpr const char* kEosKey = "EOS";
inline constexpr const char* kTbKey = "TB";
inline constexpr const char* kEofKey = "EOF";
inline constexpr uint16_t CodeValue(uint8_t label, uint8_t escapes) {
  return static_cast<uint16_t>(label << 8 | escapes);
}
inline constexpr uint8_t CodeValueLabel(uint16_t value) {
  return static_cast<uint8_t>(value >> 8);
}
inline constexpr uint8_t CodeValueEscapes(uint16_t value) {
  return static_cast<uint8_t>(value & 0xFF);
}

// Function table: subnet index per function number; this index means "not offered".
inline constexpr uint8_t kNoSubnet = 255;

// Function numbers.
inline constexpr int kFunctionExpansion = 1;
inline constexpr int kFunctionAnalysis = 12;
inline constexpr int kFunctionGeneration = 23;
inline constexpr int kFunctionStemming = 27;
inline constexpr int kFunctionTokenizing = 28;
inline constexpr int kFunctionClassLexicon = 60;
inline constexpr int kFunctionClassGuesser = 61;
inline constexpr int kFunctionGrouper = 62;
inline constexpr int kFunctionGrouper2 = 63;
inline constexpr int kMaxFunction = 254;

// --- Network encoding ----------------------------------------------------------------

// Label byte: the code in bits 7..2, final_bit and more_bit below it.
inline constexpr uint8_t kFinalBit = 1;
inline constexpr uint8_t kMoreBit = 2;
inline constexpr uint8_t kCodeMask = 0xFC;
// Codes step by 4; a direct-index table spaces its entries the same way.
inline constexpr uint32_t kCodeStep = 4;
// A byte that stands for "no label" where a label byte is expected (code 0): the empty
// exception of a generic table, the absent TB/EOS/EOF codes of a loaded transducer.
inline constexpr uint8_t kNoLabel = 1;

// Symbol ordinal of a base code with `escapes` escape codes.
inline constexpr uint32_t SymbolOrdinal(uint32_t base, uint32_t label_base, uint32_t escapes,
                                        uint32_t esc_radix) {
  return (base - label_base) / kCodeStep + escapes * esc_radix;
}

// Flag-diacritic operand: a label byte label_base + (feature << 4 | value << 2 | bits).
inline constexpr uint8_t OperandOffset(uint32_t feature, uint32_t value) {
  return static_cast<uint8_t>(feature << 4 | value << 2);
}
inline constexpr uint32_t OperandFeature(uint8_t offset) {
  return offset >> 4;
}
inline constexpr uint32_t OperandValue(uint8_t offset) {
  return (offset >> 2) & 3;
}

}  // namespace vtm
