// Hand-built networks for the coder and walk tests: one test alphabet (letters, escaped
// capitals, tags, the special codes), a description that the tests give network bytes
// to, and helpers that run the walks and read their results.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "compiler/file_writer.h"
#include "lookup/walk.h"
#include "support/fsm_fixtures.h"

namespace vtm::test {

// Thresholds: near refs 1..7, far refs 8..11, absolute refs 12..15, labels from 16.
// Codes below kFirstChar are specials.
inline constexpr uint8_t kEps = 16;    // a special: epsilon first side
inline constexpr uint8_t kNid = 20;    // nid_label
inline constexpr uint8_t kInstr = 24;  // instr_label of the subnet
inline constexpr uint8_t kFirstChar = 64;
inline constexpr uint8_t kTable = 64;  // table_label
inline constexpr uint8_t kEsc = 68;    // esc_label
inline constexpr uint8_t kSep = 72;    // *TAGSEP*
inline constexpr uint8_t kEos = 76;    // EOS
inline constexpr uint8_t kTb = 80;     // TB (decodes as ' ')
inline constexpr uint8_t kNoun = 188;  // tag [Noun]; [Pl] is kNoun with one escape
inline constexpr uint8_t kVerb = 192;  // tag [Verb]
inline constexpr uint8_t kLong = 196;  // tag whose name has 61 letters
inline constexpr uint8_t kEof = 200;   // EOF, with one escape
inline constexpr uint8_t kRadix = 60;  // esc_radix

// Code of a lower-case letter ('a' is 84, 'z' 184). A capital letter is its lower-case
// code with one escape.
constexpr uint8_t C(char c) {
  return static_cast<uint8_t>(84 + 4 * (c - 'a'));
}
// Label byte: code with final_bit and more_bit.
constexpr uint8_t Lb(uint8_t code, bool final = false, bool more = false) {
  return static_cast<uint8_t>(code | (final ? 1 : 0) | (more ? 2 : 0));
}
// Flag-diacritic operand byte for feature f (0..3 here) and value v (0..3).
constexpr uint8_t Op(int f, int v, bool more = false) {
  return Lb(static_cast<uint8_t>(16 + 16 * f + 4 * v), false, more);
}

std::string LongTagName();

// Appends bytes (a loop, which GCC 12 does not warn about falsely as it does for insert).
inline void Append(std::vector<uint8_t>& net, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) net.push_back(b);
}  // the 61-letter tag name

// The test transducer: subnet 0 (start 0) serves functions 1, 12, 27 and 28; function
// 23 is absent unless a test adds a second subnet for it. Tests set `network` (and may
// change any field) before Build().
compiler::TransducerSpec LookupSpec(std::vector<uint8_t> network);
FsmPtr Build(const compiler::TransducerSpec& spec);
FsmPtr BuildNet(std::vector<uint8_t> network);

// Codes of a word of lower-case letters (no end code), NUL-terminated.
std::vector<uint8_t> Codes(const std::string& word);

struct WalkRun {
  int rc = 0;
  std::vector<std::string> results;  // rc results read from the client buffer
  std::vector<int> offsets;
};

struct WalkOptions {
  int mode = kOutAll;
  uint32_t stack_entries = 100;
  uint32_t work_size = 256;
  uint32_t client_size = 4096;
  int offsets_capacity = 16;
  bool partial = false;
  int subnet = 0;
};

WalkRun Lookup(const VtmFsmRec* fsm, const std::vector<uint8_t>& input, WalkOptions options = {});
WalkRun Inverse(const VtmFsmRec* fsm, const std::vector<uint8_t>& input, WalkOptions options = {});
// Class walk: returns the values, or the error code as the only element's negation.
struct ClassRun {
  int rc = 0;
  std::vector<uint16_t> values;
};
ClassRun Classes(const VtmFsmRec* fsm, const std::vector<uint8_t>& input, int capacity = 32,
                 uint32_t stack_entries = 100);

// Results of vtm_lookup_with_transduction (count or error in rc).
WalkRun LookupText(const VtmFsmRec* fsm, const std::string& text, int mode,
                   VtmClientDict dict = nullptr, int output_size = 4096);

}  // namespace vtm::test
