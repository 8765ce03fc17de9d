// Transducer files for tests (see fsm_fixtures.h).
#include "support/fsm_fixtures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace vtm::test {

compiler::TransducerSpec BasicSpec() {
  compiler::TransducerSpec spec;
  spec.header.label_base = 16;
  spec.header.near_ref_base = 1;
  spec.header.far_ref_base = 8;
  spec.header.abs_ref_base = 12;
  spec.header.language = 7;
  spec.header.char_encoding = 3;
  spec.header.creation_date = 0x01020304;
  spec.copyright = "Test";
  spec.version = "2.2";
  spec.symbols = {"a", "b", "c"};
  spec.symbol_chars = {0, 'a', 'b', 'c'};
  spec.char_map.first = 'a';
  spec.char_map.last = 'c';
  spec.char_map.entries = {64, 68, 72};
  spec.named_tables.push_back({"*DIACRITICS*", {}, {{"TB", 0x1400}, {"EOS", 0x1800}}});
  spec.functions.assign(12, kNoSubnet);
  spec.functions[11] = 0;
  spec.subnets.push_back({0, 64, 20, 0, {}});
  spec.network = {16, 0};
  return spec;
}

// Test cases run as separate processes, several at once, so every file name carries the
// process id: two cases that pick the same name never share a file.
std::string TempPath(const std::string& name) {
  return std::string(VTM_TEST_TMPDIR) + "/" + std::to_string(getpid()) + "-" + name;
}

std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = TempPath(name);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(file.good()) << path;
  return path;
}

std::vector<uint8_t> LayOut(const compiler::TransducerSpec& spec, compiler::Layout* layout) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(compiler::LayOutTransducer(spec, &bytes, &error, layout)) << error;
  return bytes;
}

std::string WriteSpec(const std::string& name, const compiler::TransducerSpec& spec,
                      compiler::Layout* layout) {
  return WriteBytes(name, LayOut(spec, layout));
}

FsmPtr Open(const std::string& path) {
  return FsmPtr(vtm_make_fsm(path.c_str()));
}

int LoadCode(const std::vector<uint8_t>& bytes) {
  FsmPtr fsm = Open(WriteBytes("load_code.fst", bytes));
  return vtm_object_error_code(fsm.get());
}

}  // namespace vtm::test
