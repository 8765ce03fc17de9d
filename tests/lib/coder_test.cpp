// Byte-string coding: the coder's options and exact room thresholds, escapes in both
// orders, tags, the decoder's separators and tag texts, and the two exported operations.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "lookup/coding.h"
#include "support/lookup_fixtures.h"

namespace vtm {
namespace {

using namespace vtm::test;

std::vector<uint8_t> Encode(const VtmFsmRec* fsm, const std::string& text, CoderOptions options,
                            int size = 256, int* rc = nullptr, int length = kNulTerminated) {
  std::vector<uint8_t> out(static_cast<std::size_t>(size) + 1, 0xEE);
  int r = EncodeText(text.c_str(), length, out.data(), size, options, fsm);
  EXPECT_EQ(out[size], 0xEE) << "written past the output";
  if (rc != nullptr) *rc = r;
  if (r < 0) return {};
  return std::vector<uint8_t>(out.begin(), out.begin() + r);
}

std::string Decode(const VtmFsmRec* fsm, const std::vector<uint8_t>& codes, bool stop_at_eos,
                   int size = 256, int* rc = nullptr) {
  std::vector<uint8_t> z = codes;
  z.push_back(0);
  std::vector<char> out(static_cast<std::size_t>(size) + 1, 'X');
  int r = DecodeCodes(z.data(), out.data(), size, 0, stop_at_eos, fsm);
  EXPECT_EQ(out[size], 'X');
  if (rc != nullptr) *rc = r;
  return r < 0 ? std::string() : std::string(out.data(), static_cast<std::size_t>(r));
}

// "[name]" built by appending (GCC 12 warns falsely on operator+ chains here).
std::string Bracket(const std::string& name, const std::string& tail = "]") {
  std::string s = "[";
  s.append(name);
  s.append(tail);
  return s;
}

class Coding : public ::testing::Test {
 protected:
  FsmPtr fsm_ = BuildNet({16, 0});
  const VtmFsmRec* f() const { return fsm_.get(); }
};

TEST_F(Coding, LettersTagsAndEndCodes) {
  CoderOptions eos{false, true, false};
  EXPECT_EQ(Encode(f(), "ab", eos), (std::vector<uint8_t>{C('a'), C('b'), kEos}));
  CoderOptions tags{true, true, false};
  EXPECT_EQ(Encode(f(), "a[Noun]b", tags),
            (std::vector<uint8_t>{C('a'), kSep, kNoun, kSep, C('b'), kEos}));
  // Adjacent tags share one run; a run open at the end stays open unless closed.
  EXPECT_EQ(Encode(f(), "a[Noun][Pl]", {true, false, false}),
            (std::vector<uint8_t>{C('a'), kSep, kNoun, kEsc, kNoun}));
  EXPECT_EQ(Encode(f(), "a[Noun]", {true, false, true}),
            (std::vector<uint8_t>{C('a'), kSep, kNoun, kSep}));
  // Without the tags option '[' is an ordinary byte (here outside the alphabet).
  int rc = 0;
  Encode(f(), "a[Noun]", {}, 256, &rc);
  EXPECT_EQ(rc, VTM_ERR_CHAR_NOT_IN_ALPHABET);
  // A given length stops the coder before the NUL.
  EXPECT_EQ(Encode(f(), "abc", {}, 256, nullptr, 2), (std::vector<uint8_t>{C('a'), C('b')}));
}

TEST_F(Coding, TagNamesAndAlphabetErrors) {
  int rc = 0;
  CoderOptions tags{true, false, false};
  EXPECT_EQ(Encode(f(), Bracket(LongTagName()), tags), (std::vector<uint8_t>{kSep, kLong}));
  Encode(f(), Bracket(LongTagName(), "x]"), tags, 256, &rc);
  EXPECT_EQ(rc, VTM_ERR_INCOMPLETE_TAG) << "62-byte name";
  Encode(f(), "a[Nou", tags, 256, &rc);
  EXPECT_EQ(rc, VTM_ERR_INCOMPLETE_TAG) << "text ends inside the name";
  Encode(f(), "a[Noun]", tags, 256, &rc, 5);
  EXPECT_EQ(rc, VTM_ERR_INCOMPLETE_TAG) << "given length ends inside the name";
  Encode(f(), "[Adj]", tags, 256, &rc);
  EXPECT_EQ(rc, VTM_ERR_CHAR_NOT_IN_ALPHABET) << "unknown tag";
  Encode(f(), "a1", {}, 256, &rc);
  EXPECT_EQ(rc, VTM_ERR_CHAR_NOT_IN_ALPHABET) << "map entry 0";
  Encode(f(), "a~", {}, 256, &rc);
  EXPECT_EQ(rc, VTM_ERR_CHAR_NOT_IN_ALPHABET) << "beyond char_last";
}

TEST_F(Coding, RoomThresholdsAreExact) {
  int rc = 0;
  // A symbol with e escapes needs used + e + 3 < size.
  EXPECT_EQ(Encode(f(), "ab", {}, 5, &rc).size(), 2u);
  Encode(f(), "ab", {}, 4, &rc);
  EXPECT_EQ(rc, VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(Encode(f(), "A", {}, 5, &rc).size(), 2u);  // one escape
  Encode(f(), "A", {}, 4, &rc);
  EXPECT_EQ(rc, VTM_ERR_OUTPUT_TOO_LONG);
  // Opening a run needs used + 4 < size; closing one used + 3 < size.
  Encode(f(), "a[Noun]", {true, false, false}, 5, &rc);
  EXPECT_EQ(rc, VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(Encode(f(), "[Noun]a", {true, false, false}, 7, &rc).size(), 4u);
  Encode(f(), "[Noun]a", {true, false, false}, 6, &rc);
  EXPECT_EQ(rc, VTM_ERR_OUTPUT_TOO_LONG);
  // An empty text still needs room for its end codes and NUL.
  EXPECT_EQ(Encode(f(), "", {false, true, false}, 2, &rc).size(), 1u);
  Encode(f(), "", {false, true, false}, 1, &rc);
  EXPECT_EQ(rc, VTM_ERR_OUTPUT_TOO_LONG);
  Encode(f(), "", {}, 0, &rc);
  EXPECT_EQ(rc, VTM_ERR_OUTPUT_TOO_LONG);
}

TEST_F(Coding, EscapesInBothOrders) {
  EXPECT_EQ(Encode(f(), "aB", {}), (std::vector<uint8_t>{C('a'), kEsc, C('b')}));
  EXPECT_EQ(Decode(f(), {C('a'), kEsc, C('b')}, false), "aB");
  compiler::TransducerSpec spec = LookupSpec({16, 0});
  spec.header.code_flags = kCodeEscAfter;
  FsmPtr after = Build(spec);
  EXPECT_EQ(Encode(after.get(), "Ba", {}), (std::vector<uint8_t>{C('b'), kEsc, C('a')}));
  EXPECT_EQ(Decode(after.get(), {C('b'), kEsc, C('a')}, false), "Ba");
  EXPECT_EQ(Decode(after.get(), {C('a'), C('b'), kEsc}, false), "aB");
  // Two escapes (16-bit map entries allow more than three).
  spec.char_map.wide = true;
  for (auto& e : spec.char_map.entries) e = static_cast<uint16_t>(((e & 0xFC) << 8) | (e & 3));
  spec.char_map.entries['C' - ' '] = static_cast<uint16_t>((C('c') << 8) | 2);
  spec.symbol_chars.resize(3 * kRadix, '?');
  spec.symbol_chars[(C('c') - 16) / 4 + 2 * kRadix] = '#';
  FsmPtr wide = Build(spec);
  EXPECT_EQ(Encode(wide.get(), "aC", {}), (std::vector<uint8_t>{C('a'), C('c'), kEsc, kEsc}));
  EXPECT_EQ(Decode(wide.get(), {C('a'), C('c'), kEsc, kEsc}, false), "a#");
}

TEST_F(Coding, DecoderSeparatorsTagsAndRoom) {
  const std::vector<uint8_t> two = {C('a'), kEos, C('b'), kEos};
  int rc = 0;
  std::string text = Decode(f(), two, false, 256, &rc);
  EXPECT_EQ(rc, 4);
  EXPECT_EQ(text, std::string("a\0b\0", 4));
  EXPECT_EQ(Decode(f(), two, true), "a");
  // An escaped EOS or tag separator is an ordinary symbol.
  EXPECT_EQ(Decode(f(), {kEsc, C('a')}, true), "A");
  EXPECT_EQ(Decode(f(), {C('a'), kSep, kNoun, kEsc, kNoun, kSep, C('b')}, false), "a[Noun][Pl]b");
  EXPECT_EQ(Decode(f(), {kSep, kVerb, kEsc, kVerb, kSep}, false), "[Verb][???]");
  // A tag needs more than 68 bytes of room, whatever its name's length.
  std::string room = Decode(f(), {kSep, kVerb, kSep}, false, 69, &rc);
  EXPECT_EQ(room, "[Verb]");
  Decode(f(), {kSep, kVerb, kSep}, false, 68, &rc);
  EXPECT_EQ(rc, VTM_ERR_OUTPUT_TOO_LONG);
  // Each character must leave room for the NUL.
  EXPECT_EQ(Decode(f(), {C('a'), C('b')}, false, 3), "ab");
  Decode(f(), {C('a'), C('b')}, false, 2, &rc);
  EXPECT_EQ(rc, VTM_ERR_OUTPUT_TOO_LONG);
  Decode(f(), {}, false, 0, &rc);
  EXPECT_EQ(rc, VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(Decode(f(), {}, false, 1, &rc), "");
}

TEST_F(Coding, ExportedEncodeAndOffsets) {
  char out[16];
  VtmFsm fsm = fsm_.get();
  EXPECT_EQ(vtmEncodeByteString("ab", out, 16, 0, fsm), 3);
  EXPECT_EQ(static_cast<uint8_t>(out[2]), kEos);
  EXPECT_EQ(vtmEncodeByteString("a[Noun]", out, 16, 1, fsm), 3);
  EXPECT_EQ(vtmEncodeByteString("a[Noun]", out, 16, 0, fsm), VTM_ERR_CHAR_NOT_IN_ALPHABET);
  // Mode 2 appends EOF with its escape, even to an empty text.
  EXPECT_EQ(vtmEncodeByteString("", out, 16, 2, fsm), 2);
  EXPECT_EQ(std::string(out), std::string({static_cast<char>(kEsc), static_cast<char>(kEof)}));
  // eof_esc_count + length + 2 must stay below the size.
  EXPECT_EQ(vtmEncodeByteString("ab", out, 5, 2, fsm), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(vtmEncodeByteString("ab", out, 6, 2, fsm), 4);
  EXPECT_EQ(vtmEncodeByteString("ab", out, 16, 9, fsm), 2) << "plain";
  EXPECT_EQ(vtmEncodeByteString(nullptr, out, 16, 0, fsm), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmEncodeByteString("a", out, -1, 0, fsm), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtmEncodeByteString("a", out, 16, 0, static_cast<VtmFsm>(vtm_error_object(-2))),
            VTM_ERR_BAD_FILE);

  // "aBcD": codes a, esc, b, c, esc, d. Offsets in codes give character positions.
  ASSERT_EQ(vtmEncodeByteString("aBcD", out, 16, 3, fsm), 6);
  const int offsets[] = {0, 1, 3, 4, 6, 2, 40};
  int results[7] = {};
  vtmDecodeOffsets(offsets, 7, results, out, fsm);
  EXPECT_EQ(std::vector<int>(results, results + 7), (std::vector<int>{0, 1, 2, 3, 4, 4, 4}));
  ASSERT_EQ(vtmEncodeByteString("abc", out, 16, 3, fsm), 3);
  const int plain[] = {0, 2, 3};
  vtmDecodeOffsets(plain, 3, results, out, fsm);
  EXPECT_EQ(std::vector<int>(results, results + 3), (std::vector<int>{0, 2, 3}));
}

// A deliberately simple coder for the differential test below: one byte or tag at a
// time, from the transducer's own char map and tag table (no cache), with the room
// thresholds written out. Returns the coder's result; *out receives the codes.
int ReferenceEncode(const VtmFsmRec* fsm, const std::string& text, int length, int size,
                    CoderOptions options, std::vector<uint8_t>* out) {
  const uint8_t esc = fsm->header.esc_label;
  const bool after = fsm->header.code_flags & kCodeEscAfter;
  const std::size_t limit =
      length == kNulTerminated ? text.size() : static_cast<std::size_t>(length);
  out->clear();
  auto used = [&] { return static_cast<int64_t>(out->size()); };
  bool run = false;
  for (std::size_t pos = 0; pos < limit && text[pos] != 0;) {
    const auto b = static_cast<uint8_t>(text[pos]);
    uint32_t base = 0, escapes = 0;
    if (b == '[' && options.tags) {
      if (!run) {
        if (used() + 4 >= size) return VTM_ERR_OUTPUT_TOO_LONG;
        out->push_back(fsm->tagsep_code);
        run = true;
      }
      const std::size_t close = text.find(']', pos + 1);
      const std::size_t nul = text.find('\0', pos + 1);
      if (close == std::string::npos || close >= limit ||
          (nul != std::string::npos && nul < close) || close - pos - 1 > 61)
        return VTM_ERR_INCOMPLETE_TAG;
      const uint16_t value =
          FsmTagCode(fsm, text.data() + pos + 1, static_cast<uint32_t>(close - pos - 1));
      if (value == 0) return VTM_ERR_CHAR_NOT_IN_ALPHABET;
      base = value >> 8;
      escapes = value & 0xFF;
      pos = close + 1;
    } else {
      if (run) {
        if (used() + 3 >= size) return VTM_ERR_OUTPUT_TOO_LONG;
        out->push_back(fsm->tagsep_code);
        run = false;
      }
      if (!MapCharFromTable(fsm, b, &base, &escapes)) return VTM_ERR_CHAR_NOT_IN_ALPHABET;
      ++pos;
    }
    if (int64_t{escapes} + used() + 3 >= size) return VTM_ERR_OUTPUT_TOO_LONG;
    if (after) out->push_back(static_cast<uint8_t>(base));
    out->insert(out->end(), escapes, esc);
    if (!after) out->push_back(static_cast<uint8_t>(base));
  }
  const bool eos = options.eos && fsm->eos_code != kNoLabel;
  if (used() + int{eos} + int{options.closing_sep} + 1 > size) return VTM_ERR_OUTPUT_TOO_LONG;
  if (eos) out->push_back(fsm->eos_code);
  if (options.closing_sep) out->push_back(fsm->tagsep_code);
  return static_cast<int>(out->size());
}

// The coder (with its per-byte cache and its loop over bytes of one code) against the
// reference on random texts of plain and escaped letters, tags, bytes outside the
// alphabet and NULs, with every option, given lengths and sizes from 0 up, in both
// escape orders: the same result, the same codes, nothing written past the size.
TEST_F(Coding, CoderMatchesASimpleReferenceOnRandomTexts) {
  compiler::TransducerSpec spec = LookupSpec({16, 0});
  FsmPtr before = Build(spec);
  spec.header.code_flags = kCodeEscAfter;
  FsmPtr after = Build(spec);
  const std::vector<std::string> pieces = {"a", "b", "z",  "ab",     "ba",  "zz",
                                           "A", "B", "aB", "[Noun]", "[Pl]"};
  // Now and then a piece that fails or stops the coder.
  const std::vector<std::string> odd = {"[Adj]", "[No", "1", "~", std::string(1, '\0'), "["};
  std::mt19937 rng(20261211);
  int compared = 0, coded = 0;
  for (const VtmFsmRec* fsm : {before.get(), after.get()}) {
    for (int n = 0; n < 6000; ++n) {
      std::string text;
      for (int k = static_cast<int>(rng() % 24); k > 0; --k)
        text += rng() % 24 == 0 ? odd[rng() % odd.size()] : pieces[rng() % pieces.size()];
      const CoderOptions options{rng() % 2 == 0, rng() % 2 == 0, rng() % 4 == 0};
      const int size = rng() % 2 == 0 ? static_cast<int>(rng() % 40) : 256;
      const int length =
          rng() % 3 == 0 ? static_cast<int>(rng() % (text.size() + 1)) : kNulTerminated;
      std::vector<uint8_t> want;
      const int want_rc = ReferenceEncode(fsm, text, length, size, options, &want);
      int rc = 0;
      const std::vector<uint8_t> got = Encode(fsm, text, options, size, &rc, length);
      ASSERT_EQ(rc, want_rc) << "case " << n << " size " << size;
      if (rc >= 0) {
        ASSERT_EQ(got, want) << "case " << n;
      }
      ++compared;
      coded += rc > 0;
    }
  }
  EXPECT_EQ(compared, 12000);
  EXPECT_GT(coded, 3000);
}

// A deliberately simple decoder for the differential test below: symbols first (a code
// with the escape codes that belong to it), then each symbol by the rules, from the
// transducer's own tables (no cache). Unlimited room.
std::string ReferenceDecode(const VtmFsmRec* fsm, const std::vector<uint8_t>& codes,
                            bool stop_at_eos) {
  const uint8_t esc = fsm->header.esc_label;
  const bool after = fsm->header.code_flags & kCodeEscAfter;
  std::vector<std::pair<uint8_t, uint32_t>> symbols;  // code, escapes
  for (std::size_t k = 0; k < codes.size(); ++k) {
    if (!after) {
      uint32_t e = 0;
      while (k < codes.size() && codes[k] == esc) ++e, ++k;
      if (k == codes.size()) break;  // trailing escapes complete nothing
      symbols.push_back({codes[k], e});
    } else {
      const uint8_t y = codes[k];
      uint32_t e = 0;
      while (k + 1 < codes.size() && codes[k + 1] == esc) ++e, ++k;
      symbols.push_back({y, e});
    }
  }
  std::string out;
  bool run = false;
  for (auto [y, e] : symbols) {
    if (e == 0 && y == fsm->eos_code) {
      if (stop_at_eos) break;
      out.push_back('\0');
    } else if (e == 0 && y == fsm->tagsep_code) {
      run = !run;
    } else if (run && fsm->tag_name_by_code != nullptr) {
      const uint32_t tag_e = fsm->header.esc_radix == 0 ? 0 : e;
      const char* name = FsmTagName(fsm, static_cast<uint16_t>((y & 0xFC) << 8 | (tag_e & 0xFF)));
      out.push_back('[');
      out.append(name == nullptr ? "???" : name);
      out.push_back(']');
    } else {
      const int64_t ordinal =
          (int64_t{y} - fsm->header.label_base) / 4 + int64_t{e} * fsm->header.esc_radix;
      const bool known = ordinal >= 0 && fsm->symbol_chars.has(static_cast<uint32_t>(ordinal));
      out.push_back(known ? static_cast<char>(fsm->symbol_chars[static_cast<uint32_t>(ordinal)])
                          : '?');
    }
  }
  return out;
}

// The decoder (with its per-code cache) against the reference on random code strings of
// letters, tags, escapes, separators, end codes and codes outside the symbol table, in
// both escape orders, with and without stopping at the end code.
TEST_F(Coding, DecoderMatchesASimpleReferenceOnRandomCodes) {
  compiler::TransducerSpec spec = LookupSpec({16, 0});
  // Tag names of 5, 6 and 7 letters, around the decoder's block copy of short tags.
  compiler::NamedTableSpec& tagmode = spec.named_tables[1];
  tagmode.members.resize(3 * kRadix, 0);
  const std::pair<const char*, uint16_t> more_tags[] = {
      {"Plura", (kLong << 8) | 1}, {"Plural", (kVerb << 8) | 1}, {"Plurals", (kVerb << 8) | 2}};
  for (auto [name, value] : more_tags) {
    tagmode.members[((value >> 8) - 16) / 4 + kRadix * (value & 0xFF)] =
        compiler::InternSymbol(spec.symbols, name);
    tagmode.entries.emplace_back(name, value);
  }
  FsmPtr before = Build(spec);
  spec.header.code_flags = kCodeEscAfter;
  FsmPtr after = Build(spec);
  const std::vector<uint8_t> alphabet = {C('a'), C('b'), C('z'), kEsc, kEsc,  kEsc,
                                         kSep,   kSep,   kEos,   kTb,  kNoun, kVerb,
                                         kLong,  kEof,   16,     20,   252};
  std::mt19937 rng(20261210);
  int compared = 0;
  for (const VtmFsmRec* fsm : {before.get(), after.get()}) {
    for (int n = 0; n < 4000; ++n) {
      std::vector<uint8_t> codes(rng() % 12);
      for (auto& c : codes) c = alphabet[rng() % alphabet.size()];
      for (bool stop : {false, true}) {
        int rc = 0;
        const std::string got = Decode(fsm, codes, stop, 2048, &rc);
        ASSERT_GE(rc, 0);
        ASSERT_EQ(got, ReferenceDecode(fsm, codes, stop)) << "case " << n;
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 16000);
}

}  // namespace
}  // namespace vtm
