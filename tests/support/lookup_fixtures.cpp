// Hand-built networks for the coder and walk tests (see lookup_fixtures.h).
#include "support/lookup_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vtm::test {

std::string LongTagName() {
  return std::string(61, 'x');
}

compiler::TransducerSpec LookupSpec(std::vector<uint8_t> network) {
  compiler::TransducerSpec spec;
  auto& h = spec.header;
  h.near_ref_base = 1;
  h.far_ref_base = 8;
  h.abs_ref_base = 12;
  h.label_base = 16;
  h.esc_label = kEsc;
  h.table_label = kTable;
  h.nid_label = kNid;
  h.esc_radix = kRadix;
  h.state_ref_width = 3;
  spec.copyright = "Lookup tests";
  spec.version = "1.0";

  // Symbol ordinal of code c with e escapes: (c - 16) / 4 + 60 * e.
  spec.symbol_chars.assign(2 * kRadix, '?');
  spec.symbol_chars[(kTb - 16) / 4] = ' ';
  for (char c = 'a'; c <= 'z'; ++c) {
    spec.symbol_chars[(C(c) - 16) / 4] = static_cast<uint16_t>(c);
    spec.symbol_chars[(C(c) - 16) / 4 + kRadix] = static_cast<uint16_t>(c - 'a' + 'A');
  }
  spec.char_map.first = ' ';
  spec.char_map.last = 'z';
  spec.char_map.entries.assign('z' - ' ' + 1, 0);
  spec.char_map.entries[0] = kTb;
  for (char c = 'a'; c <= 'z'; ++c) {
    spec.char_map.entries[c - ' '] = C(c);
    spec.char_map.entries[c - 'a' + 'A' - ' '] = static_cast<uint16_t>(C(c) | 1);
  }

  spec.symbols = {"Noun", "Verb", "Pl", LongTagName()};
  std::vector<uint16_t> members(2 * kRadix, 0);
  members[(kNoun - 16) / 4] = compiler::InternSymbol(spec.symbols, "Noun");
  members[(kVerb - 16) / 4] = compiler::InternSymbol(spec.symbols, "Verb");
  members[(kNoun - 16) / 4 + kRadix] = compiler::InternSymbol(spec.symbols, "Pl");
  members[(kLong - 16) / 4] = compiler::InternSymbol(spec.symbols, LongTagName());
  spec.named_tables.push_back(
      {"*DIACRITICS*",
       {},
       {{"*TAGSEP*", kSep << 8}, {"EOS", kEos << 8}, {"TB", kTb << 8}, {"EOF", (kEof << 8) | 1}}});
  spec.named_tables.push_back({"TAGMODE",
                               members,
                               {{"Noun", kNoun << 8},
                                {"Verb", kVerb << 8},
                                {"Pl", (kNoun << 8) | 1},
                                {LongTagName(), kLong << 8}}});

  spec.functions.assign(28, kNoSubnet);
  for (int f : {1, 12, 27, 28}) spec.functions[f - 1] = 0;
  spec.subnets.push_back({0, kFirstChar, kInstr, 0, {}});
  spec.network = std::move(network);
  return spec;
}

FsmPtr Build(const compiler::TransducerSpec& spec) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "lookup_";
  if (info != nullptr) name += std::string(info->test_suite_name()) + "_" + info->name();
  FsmPtr fsm = Open(WriteSpec(name + ".fst", spec));
  EXPECT_EQ(vtm_object_error_code(fsm.get()), 0);
  return fsm;
}

FsmPtr BuildNet(std::vector<uint8_t> network) {
  return Build(LookupSpec(std::move(network)));
}

std::vector<uint8_t> Codes(const std::string& word) {
  std::vector<uint8_t> codes;
  for (char c : word) codes.push_back(C(c));
  codes.push_back(0);
  return codes;
}

namespace {

std::vector<std::string> ReadResults(const char* client, int count, uint32_t size) {
  std::vector<std::string> results;
  uint32_t at = 0;
  for (int k = 0; k < count && at < size; ++k) {
    results.emplace_back(client + at);
    at += static_cast<uint32_t>(results.back().size()) + 1;
  }
  return results;
}

WalkRun Run(const VtmFsmRec* fsm, const std::vector<uint8_t>& input, const WalkOptions& options,
            bool inverse) {
  std::vector<uint8_t> work(options.work_size + 1, 0xEE);
  std::vector<VtmBacktrackEntry> stack(options.stack_entries);
  std::vector<char> client(options.client_size + 1, 'X');
  std::vector<int> offsets(static_cast<std::size_t>(options.offsets_capacity) + 1, -7);
  WalkArgs args;
  args.input = input.data();
  args.work = work.data();
  args.work_size = options.work_size;
  args.subnet = options.subnet;
  args.partial = options.partial;
  args.stack = stack.data();
  args.stack_entries = options.stack_entries;
  args.client = client.data();
  args.client_size = options.client_size;
  args.offsets = offsets.data();
  args.offsets_capacity = options.offsets_capacity;
  args.output_mode = options.mode;
  WalkRun run;
  run.rc = inverse ? InverseWalk(fsm, args) : LookupWalk(fsm, args);
  // Nothing may be written past the sizes the walk was given.
  EXPECT_EQ(work[options.work_size], 0xEE);
  EXPECT_EQ(client[options.client_size], 'X');
  EXPECT_EQ(offsets[options.offsets_capacity], -7);
  if (run.rc > 0 && options.mode != kOutRecognize) {
    run.results = ReadResults(client.data(), run.rc, options.client_size);
  }
  if (options.mode == kOutTokenFirst || options.mode == kOutTokenAll) {
    for (int k = 0; k < run.rc; ++k) run.offsets.push_back(offsets[k]);
  }
  return run;
}

}  // namespace

WalkRun Lookup(const VtmFsmRec* fsm, const std::vector<uint8_t>& input, WalkOptions options) {
  return Run(fsm, input, options, false);
}

WalkRun Inverse(const VtmFsmRec* fsm, const std::vector<uint8_t>& input, WalkOptions options) {
  return Run(fsm, input, options, true);
}

ClassRun Classes(const VtmFsmRec* fsm, const std::vector<uint8_t>& input, int capacity,
                 uint32_t stack_entries) {
  std::vector<uint16_t> values(static_cast<std::size_t>(capacity) + 1, 0xBEEF);
  std::vector<VtmBacktrackEntry> stack(stack_entries);
  WalkArgs args;
  args.input = input.data();
  args.stack = stack.data();
  args.stack_entries = stack_entries;
  args.classes = values.data();
  args.classes_capacity = capacity;
  ClassRun run;
  run.rc = ClassWalk(fsm, args);
  EXPECT_EQ(values[capacity], 0xBEEF);
  if (run.rc > 0) run.values.assign(values.begin(), values.begin() + run.rc);
  return run;
}

WalkRun LookupText(const VtmFsmRec* fsm, const std::string& text, int mode, VtmClientDict dict,
                   int output_size) {
  std::vector<char> output(static_cast<std::size_t>(output_size) + 1, 'X');
  WalkRun run;
  run.rc = vtm_lookup_with_transduction(text.c_str(), 2147483647, output.data(), output_size, mode,
                                        const_cast<VtmFsmRec*>(fsm), dict, 0);
  EXPECT_EQ(output[output_size], 'X');
  if (run.rc > 0) {
    run.results = ReadResults(output.data(), run.rc, static_cast<uint32_t>(output_size));
  }
  return run;
}

}  // namespace vtm::test
