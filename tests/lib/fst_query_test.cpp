// Queries on a loaded transducer: copyright folding, version text rules, the header
// fields, the capability word and the handling of bad handles and buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/fsm_fixtures.h"

namespace vtm {
namespace {

using test::BasicSpec;

test::FsmPtr OpenSpec(const compiler::TransducerSpec& spec) {
  test::FsmPtr fsm = test::Open(test::WriteSpec("query.fst", spec));
  EXPECT_EQ(vtm_object_error_code(fsm.get()), 0);
  return fsm;
}

std::string Copyright(const std::string& stored, int* rc = nullptr) {
  compiler::TransducerSpec spec = BasicSpec();
  spec.copyright = stored;
  test::FsmPtr fsm = OpenSpec(spec);
  char buffer[300];
  std::memset(buffer, '#', sizeof buffer);
  int result = vtm_fsm_copyright(buffer, sizeof buffer, fsm.get());
  if (rc != nullptr) *rc = result;
  return result == 0 ? std::string(buffer) : std::string();
}

TEST(FstQuery, CopyrightFoldsLineBreaks) {
  EXPECT_EQ(Copyright("A\r\nB"), "A B");
  EXPECT_EQ(Copyright("A\r\n"), "A");
  EXPECT_EQ(Copyright("A\rB"), "A B");
  EXPECT_EQ(Copyright("A\r"), "A");
  EXPECT_EQ(Copyright("\r\n\r\nX"), "  X");
  EXPECT_EQ(Copyright("line1\r\nline2\r\nline3\r\n"), "line1 line2 line3");
  EXPECT_EQ(Copyright(""), "");
  EXPECT_EQ(Copyright("\n\tx"), "\n\tx");  // only CR is folded
  EXPECT_EQ(Copyright(std::string(255, 'c')), std::string(255, 'c'));
}

TEST(FstQuery, CopyrightCrTakesTheNextByteAsItIs) {
  EXPECT_EQ(Copyright("A\r\rB"), "A \rB");
  EXPECT_EQ(Copyright("A\r\r\nB"), "A \r\nB");
  EXPECT_EQ(Copyright("A\r\r"), "A \r");
}

TEST(FstQuery, CopyrightNeedsTwoBytesMoreThanItsLength) {
  compiler::TransducerSpec spec = BasicSpec();
  spec.copyright = "A\r\nB";  // L = 4, folded text is shorter but the rule uses L
  test::FsmPtr fsm = OpenSpec(spec);
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(vtm_fsm_copyright(buffer, 5, fsm.get()), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(buffer[0], '#') << "nothing is written";
  EXPECT_EQ(vtm_fsm_copyright(buffer, 0, fsm.get()), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(vtm_fsm_copyright(buffer, 1, fsm.get()), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(vtmLexicalTransducerCopyrightMessage(buffer, 6, fsm.get()), 0);
  EXPECT_STREQ(buffer, "A B");

  spec.copyright = "";
  fsm = OpenSpec(spec);
  EXPECT_EQ(vtm_fsm_copyright(buffer, 1, fsm.get()), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(vtm_fsm_copyright(buffer, 2, fsm.get()), 0);
  EXPECT_STREQ(buffer, "");
}

std::string Version(const std::string& copyright, const std::string& section) {
  compiler::TransducerSpec spec = BasicSpec();
  spec.copyright = copyright;
  spec.version = section;
  test::FsmPtr fsm = OpenSpec(spec);
  char buffer[100];
  EXPECT_EQ(vtm_fsm_version(buffer, sizeof buffer, fsm.get()), 0);
  return buffer;
}

TEST(FstQuery, VersionTextForms) {
  EXPECT_EQ(Version("", "2.1"), "2.1");
  EXPECT_EQ(Version("", "build7"), "1.0") << "no dot";
  EXPECT_EQ(Version("(c) X", "line of text\r\n\r\n3.0.1\r"), "3.0.1");
  EXPECT_EQ(Version("", std::string(64, '1') + "."), "1.0") << "65 bytes";
  EXPECT_EQ(Version("", std::string(63, '1') + "."), std::string(63, '1') + ".");
  EXPECT_EQ(Version("", ""), "1.0") << "empty";
  EXPECT_EQ(Version("", "a-b_c/d.E9"), "a-b_c/d.E9");
  EXPECT_EQ(Version("", "2.1 beta"), "1.0") << "a space is not a version byte";
  EXPECT_EQ(Version("", "2.1\x80zz"), "2.1") << "ends at a byte above 0x7F";
  EXPECT_EQ(Version("", "2.1\x7F"), "1.0") << "0x7F is printable but not a version byte";
  // A preamble line of exactly 1000 printable bytes is skipped; 1001 bytes are not.
  EXPECT_EQ(Version("", std::string(1000, 'x') + "\r\n\r\n4.5"), "4.5");
  EXPECT_EQ(Version("", std::string(1001, 'x') + "\r\n\r\n4.5"), "1.0");
  // Only the exact four bytes CR LF CR LF start the second form.
  EXPECT_EQ(Version("", "text\r\n\r4.5"), "1.0");
  EXPECT_EQ(Version("", "\r\n\r\n4.5"), "4.5") << "empty preamble line";
  EXPECT_EQ(Version("x\r\n", "6.7\r\n"), "6.7");
}

TEST(FstQuery, VersionUsesTheBoundedCopy) {
  compiler::TransducerSpec spec = BasicSpec();
  spec.version = "build7";
  test::FsmPtr fsm = OpenSpec(spec);
  char buffer[8] = "#######";
  EXPECT_EQ(vtm_fsm_version(buffer, 3, fsm.get()), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_STREQ(buffer, "1.");
  EXPECT_EQ(vtm_fsm_version(buffer, 4, fsm.get()), 0);
  EXPECT_STREQ(buffer, "1.0");
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(vtm_fsm_version(buffer, 0, fsm.get()), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(vtmLexicalTransducerVersion(buffer, 1, fsm.get()), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(buffer[0], '\0');
}

TEST(FstQuery, HeaderFields) {
  test::FsmPtr fsm = OpenSpec(BasicSpec());
  EXPECT_EQ(vtm_fsm_creation_date(fsm.get()), 0x01020304u);
  EXPECT_EQ(vtmLexicalTransducerCreationDate(fsm.get()), 0x01020304u);
  EXPECT_EQ(vtm_fsm_language(fsm.get()), 7);
  EXPECT_EQ(vtmLexicalTransducerLanguage(fsm.get()), 7);
  EXPECT_EQ(vtm_fsm_char_encoding(fsm.get()), 3);
  EXPECT_EQ(vtmLexicalTransducerCharEncoding(fsm.get()), 3);

  compiler::TransducerSpec spec = BasicSpec();
  spec.header.language = 255;
  spec.header.char_encoding = 200;
  spec.header.creation_date = 0xFFFFFFFEu;
  fsm = OpenSpec(spec);
  EXPECT_EQ(vtm_fsm_language(fsm.get()), 255) << "bytes are unsigned";
  EXPECT_EQ(vtm_fsm_char_encoding(fsm.get()), 200);
  EXPECT_EQ(vtm_fsm_creation_date(fsm.get()), 0xFFFFFFFEu);
}

TEST(FstQuery, BadHandlesAndArguments) {
  auto error = static_cast<VtmFsm>(vtm_error_object(VTM_ERR_FILE_OPEN));
  char buffer[16];
  EXPECT_EQ(vtm_fsm_creation_date(nullptr), 0u);
  EXPECT_EQ(vtm_fsm_creation_date(error), 0u);
  EXPECT_EQ(vtm_fsm_capabilities(nullptr), 0u);
  EXPECT_EQ(vtm_fsm_capabilities(error), 0u);
  EXPECT_EQ(vtm_fsm_language(nullptr), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_fsm_language(error), VTM_ERR_FILE_OPEN);
  EXPECT_EQ(vtm_fsm_char_encoding(nullptr), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_fsm_char_encoding(error), VTM_ERR_FILE_OPEN);
  for (auto query : {vtm_fsm_copyright, vtm_fsm_version}) {
    EXPECT_EQ(query(buffer, 16, nullptr), VTM_ERR_NULL_OBJECT);
    EXPECT_EQ(query(nullptr, 16, error), VTM_ERR_NULL_OBJECT) << "null buffer first";
    EXPECT_EQ(query(nullptr, -1, nullptr), VTM_ERR_NULL_OBJECT);
    EXPECT_EQ(query(buffer, -1, error), VTM_ERR_FILE_OPEN) << "object before size";
  }
  test::FsmPtr fsm = OpenSpec(BasicSpec());
  EXPECT_EQ(vtm_fsm_copyright(buffer, -1, fsm.get()), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_fsm_version(buffer, -1, fsm.get()), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_fsm_copyright(nullptr, 16, fsm.get()), VTM_ERR_NULL_OBJECT);
}

uint32_t Capabilities(std::initializer_list<int> functions, int count = 70) {
  compiler::TransducerSpec spec = BasicSpec();
  spec.functions.assign(count, kNoSubnet);
  for (int f : functions) spec.functions[f - 1] = 0;
  test::FsmPtr fsm = OpenSpec(spec);
  EXPECT_EQ(vtmLexicalTransducerCapabilities(fsm.get()), vtm_fsm_capabilities(fsm.get()));
  return vtm_fsm_capabilities(fsm.get());
}

TEST(FstQuery, CapabilityWord) {
  EXPECT_EQ(Capabilities({}), 0u);
  EXPECT_EQ(Capabilities({12}), 0x009u);
  EXPECT_EQ(Capabilities({27}), 0x042u);
  EXPECT_EQ(Capabilities({28}), 0x004u);
  EXPECT_EQ(Capabilities({60}), 0u) << "60 without 61";
  EXPECT_EQ(Capabilities({61}), 0u);
  EXPECT_EQ(Capabilities({60, 61}), 0x010u);
  EXPECT_EQ(Capabilities({1}), 0x080u);
  EXPECT_EQ(Capabilities({62}), 0x100u);
  EXPECT_EQ(Capabilities({63, 23}), 0u) << "functions without a capability bit";
  EXPECT_EQ(Capabilities({1, 12, 27, 28, 60, 61, 62}), 0x1DFu);
  EXPECT_EQ(Capabilities({12, 60}, 60), 0x009u) << "61 lies beyond the table";
}

TEST(FstQuery, FunctionSubnet) {
  compiler::TransducerSpec spec = BasicSpec();
  spec.subnets.push_back({1, 64, 20, 0, {}});
  spec.functions = {1, kNoSubnet, 0};
  test::FsmPtr fsm = OpenSpec(spec);
  EXPECT_EQ(FsmFunctionSubnet(fsm.get(), 1), 1);
  EXPECT_EQ(FsmFunctionSubnet(fsm.get(), 2), kNoSubnet) << "byte 255";
  EXPECT_EQ(FsmFunctionSubnet(fsm.get(), 3), 0);
  EXPECT_EQ(FsmFunctionSubnet(fsm.get(), 4), kNoSubnet) << "N + 1";
  EXPECT_EQ(FsmFunctionSubnet(fsm.get(), 0), kNoSubnet);
  EXPECT_EQ(FsmFunctionSubnet(fsm.get(), -5), kNoSubnet);
  EXPECT_EQ(FsmFunctionSubnet(fsm.get(), 256), kNoSubnet);
  EXPECT_EQ(fsm->subnets[1].start_state, 1u);

  spec.functions.clear();
  fsm = OpenSpec(spec);
  EXPECT_EQ(FsmFunctionSubnet(fsm.get(), 1), kNoSubnet) << "empty table";
  EXPECT_EQ(vtm_fsm_capabilities(fsm.get()), 0u);
}

}  // namespace
}  // namespace vtm
