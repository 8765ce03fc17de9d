// Writes the seed corpus of the loader fuzz target: small valid transducer files made
// with the file writer, covering tags, special codes, wide char maps, state tables and
// both version-text forms. Usage: fuzz_load_seeds <directory>
#include <cstdio>
#include <string>

#include "compiler/file_writer.h"

namespace {

using vtm::compiler::TransducerSpec;

TransducerSpec Basic() {
  TransducerSpec spec;
  spec.header.label_base = 16;
  spec.header.far_ref_base = 8;
  spec.header.abs_ref_base = 12;
  spec.copyright = "Seed\r\ncorpus";
  spec.version = "2.2";
  spec.symbols = {"a", "b"};
  spec.symbol_chars = {0, 'a', 'b'};
  spec.char_map.first = 'a';
  spec.char_map.last = 'b';
  spec.char_map.entries = {64, 68};
  spec.functions = {0};
  spec.subnets.push_back({0, 64, 20, 0, {}});
  spec.network = {16, 64, 71, 0, 73, 0};
  return spec;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  int failures = 0;
  auto write = [&](const char* name, const TransducerSpec& spec) {
    std::string error;
    if (!vtm::compiler::WriteTransducerFile(dir + "/" + name, spec, &error)) {
      std::fprintf(stderr, "%s: %s\n", name, error.c_str());
      ++failures;
    }
  };

  TransducerSpec spec = Basic();
  write("basic", spec);

  spec.named_tables.push_back(
      {"*DIACRITICS*", {}, {{"TB", 0x1400}, {"EOS", 0x1800}, {"EOF", 0x1C01}}});
  spec.named_tables.push_back({"TAGMODE", {0, 0, 5}, {{"Noun", 0x4000}, {"Pl", 0x4401}}});
  spec.functions.assign(62, vtm::kNoSubnet);
  for (int f : {1, 12, 27, 28, 60, 61, 62}) spec.functions[f - 1] = 0;
  write("tags", spec);

  spec.char_map.wide = true;
  spec.char_map.entries = {0x4001, 0x4400};
  spec.char_map.extra_records = 2;
  spec.header.state_ref_width = 2;
  spec.near_states = {0, 2, 4};
  spec.far_states = {1, 3};
  spec.version = "header line\r\n\r\n3.0.1\r";
  write("wide_states", spec);

  spec = Basic();
  spec.copyright.clear();
  spec.version = "build7";
  spec.subnets.push_back({5, 80, 24, 3, {}});
  spec.functions = {1, 0, 255};
  spec.header.extended = 1;
  write("two_subnets", spec);

  // A network for the walks: a non-identity pair with its identity alternative, an
  // epsilon arc into a generic table with an exception, a flag-diacritic operand, and a
  // direct-index table reached by a near reference.
  spec = Basic();
  spec.header.table_label = 96;
  spec.header.nid_label = 24;
  spec.header.esc_label = 100;
  spec.header.esc_radix = 24;
  spec.named_tables.push_back({"*DIACRITICS*", {}, {{"TB", 0x6800}, {"EOS", 0x6C00}}});
  spec.network = {16, 66, 26, 69, 0,  69, 0,     // a:b | a:a b
                  30, 98, 1,  69, 0,             // 0:(generic table), exception b
                  22, 20, 69, 0,                 // instr, operand, b
                  96, 2,  0,  0,  0,  0,  0, 0,  // direct-index table
                  67, 0,  0,  0,  69, 0};        // table entries a, b at 24
  spec.near_states = {24, 24};
  write("walks", spec);
  return failures == 0 ? 0 : 1;
}
