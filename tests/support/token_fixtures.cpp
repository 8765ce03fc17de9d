// Tokenizer transducers and calls for tests (see token_fixtures.h).
#include "support/token_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "compiler/att_reader.h"
#include "compiler/cp1252.h"

namespace vtm::test {
namespace {

// An AT&T symbol for one cp1252 byte.
std::string Symbol(unsigned char byte) {
  if (byte == ' ') return "@_SPACE_@";
  std::string utf8;
  const std::string one(1, static_cast<char>(byte));
  return compiler::Cp1252ToUtf8(one);
}

}  // namespace

bool InIdentityAlphabet(unsigned char b) {
  return b >= 0x21 && b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D;
}

std::string IdentityAtt() {
  std::string att;
  for (int b = 0x21; b <= 0xFF; ++b) {
    if (!InIdentityAlphabet(static_cast<unsigned char>(b))) continue;
    const std::string s = Symbol(static_cast<unsigned char>(b));
    att += "0\t0\t" + s + "\t" + s + "\n";
  }
  return att + "0\n";
}

std::string MappingAtt(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::string att;
  int next = 1;
  for (const auto& [in, out] : pairs) {
    const std::size_t steps = std::max(in.size(), out.size());
    int state = 0;
    for (std::size_t k = 0; k < steps; ++k) {
      const std::string a = k < in.size() ? Symbol(static_cast<unsigned char>(in[k])) : "@0@";
      const std::string b = k < out.size() ? Symbol(static_cast<unsigned char>(out[k])) : "@0@";
      att += std::to_string(state) + "\t" + std::to_string(next) + "\t" + a + "\t" + b + "\n";
      state = next++;
    }
    att += std::to_string(state) + "\n";
  }
  return att;
}

FsmPtr BuildTokenizerFsm(const std::string& att, const std::vector<int>& other) {
  auto t = std::make_shared<compiler::AttTransducer>();
  std::string error;
  EXPECT_TRUE(compiler::ReadAtt(att, 0, t.get(), &error)) << error;
  compiler::BuildOptions options;
  options.inputs.push_back({kFunctionTokenizing, "tok.att", t});
  for (int f : other) options.inputs.push_back({f, "tok.att", t});
  options.version = "1.0";
  options.label_base = 16;
  compiler::TransducerSpec spec;
  compiler::BuildReport report;
  EXPECT_TRUE(compiler::BuildTransducer(options, &spec, &report, &error)) << error;
  static int serial = 0;
  return Open(WriteSpec("tokenizer" + std::to_string(serial++) + ".vtm", spec));
}

DictPtr TagDict(const std::vector<std::pair<std::string, std::string>>& entries) {
  DictPtr d(vtm_make_client_dict(0, 0));
  for (const auto& [key, value] : entries)
    EXPECT_EQ(vtm_add_entry(key.c_str(), value.c_str(), 0, d.get()), 0);
  return d;
}

TokenizeRun Tokenize(VtmTokenizer tk, const std::string& text, int flags, int capacity,
                     int strings_size) {
  constexpr int kGuard = 4;
  std::vector<VtmToken> records(static_cast<std::size_t>(capacity + kGuard),
                                VtmToken{-7, -7, -7, 0xDEAD});
  std::vector<char> strings(static_cast<std::size_t>(strings_size + kGuard), '#');
  TokenizeRun run;
  run.rc = vtm_tokenize(text.data(), static_cast<int>(text.size()), tk, flags, records.data(),
                        capacity, strings.data(), strings_size, &run.count);
  for (int k = capacity; k < capacity + kGuard; ++k)
    EXPECT_EQ(records[static_cast<std::size_t>(k)].class_bits, 0xDEADu) << "record past capacity";
  for (int k = strings_size; k < strings_size + kGuard; ++k)
    EXPECT_EQ(strings[static_cast<std::size_t>(k)], '#') << "string past its buffer";
  for (int k = 0; k < run.count && k < capacity; ++k) {
    const VtmToken& r = records[static_cast<std::size_t>(k)];
    TokenOut t{r.offset, r.length, r.class_bits, r.norm_offset, ""};
    if (r.norm_offset != -1) {
      EXPECT_GE(r.norm_offset, 0);
      EXPECT_LT(r.norm_offset, strings_size);
      if (r.norm_offset >= 0 && r.norm_offset < strings_size)
        t.norm = strings.data() + r.norm_offset;
    }
    run.tokens.push_back(t);
    run.raw.push_back(r);
  }
  return run;
}

std::string Describe(const std::vector<TokenOut>& tokens) {
  std::string s;
  for (const TokenOut& t : tokens) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d:%d:0x%x", t.offset, t.length, t.class_bits);
    s += buffer;
    if (t.norm_offset != -1) s += "=" + t.norm;
    s += " ";
  }
  return s;
}

}  // namespace vtm::test
