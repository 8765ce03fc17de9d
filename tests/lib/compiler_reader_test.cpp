// AT&T reading and symbol classification: accepted forms and line-numbered errors, with
// input text quoted safely in them.
#include <gtest/gtest.h>

#include "compiler/att_reader.h"
#include "compiler/cp1252.h"
#include "compiler/quoted_text.h"
#include "compiler/symbols.h"

namespace vtm::compiler {
namespace {

std::string ReadError(const std::string& text, int section = 0) {
  AttTransducer t;
  std::string error;
  EXPECT_FALSE(ReadAtt(text, section, &t, &error)) << text;
  return error;
}

TEST(AttReader, ReadsArcsFinalsWeightsAndAcceptorLines) {
  AttTransducer t;
  std::string error;
  ASSERT_TRUE(ReadAtt("7\t3\ta\tb\t0.5\t\n3\t9\tc\n9\t1.25\n3\n", 0, &t, &error)) << error;
  ASSERT_EQ(t.state_count(), 3u);
  EXPECT_EQ(t.state_numbers[t.start], 7u);  // the first field of the first line
  ASSERT_EQ(t.arcs.size(), 2u);
  EXPECT_EQ(t.symbols[t.arcs[0].in], "a");
  EXPECT_EQ(t.symbols[t.arcs[0].out], "b");
  EXPECT_EQ(t.arcs[1].in, t.arcs[1].out);  // three fields: an acceptor arc
  EXPECT_EQ(t.arcs[1].line, 2u);
  EXPECT_TRUE(t.final[2] && t.final[1] && !t.final[0]);
}

TEST(AttReader, BadLinesNameTheirLineNumber) {
  EXPECT_EQ(ReadError("0\t1\ta\ta\nx\t1\ta\ta\n"),
            "line 2: state number 'x' is not a non-negative integer");
  EXPECT_EQ(ReadError("0\t-1\ta\ta\n"), "line 1: state number '-1' is not a non-negative integer");
  EXPECT_EQ(ReadError("0\t99999999999\ta\ta\n"), "line 1: state number 99999999999 is too large");
  EXPECT_EQ(ReadError("0\t1\ta\ta\tx\n"), "line 1: arc weight 'x' is not a number");
  EXPECT_EQ(ReadError("0\t1\n1\tw\n"), "line 2: final weight 'w' is not a number");
  EXPECT_EQ(ReadError("0\t1\ta\ta\t1\t2\t3\n"),
            "line 1: expected 1 to 5 tab-separated fields, found 7");
  EXPECT_EQ(ReadError("0\t1\t\ta\n"), "line 1: empty symbol field");
  EXPECT_EQ(ReadError(""), "no transducer: the input is empty");
  EXPECT_EQ(ReadError("\n\n"), "no transducer: the input is empty");
  EXPECT_NE(ReadError("0\t1\ta\ta\n--\n0\n").find("line 2: the text holds several"),
            std::string::npos);
  EXPECT_EQ(ReadError("0\n--\n0\n", 3), "section 3 requested, the text holds 2");
}

TEST(AttReader, DamagedInputIsCountedFromOneAndQuotedSafely) {
  using namespace std::string_literals;
  EXPECT_EQ(ReadError("\0"s + "0\t1\ta\ta\n"), "line 1: NUL byte in the text");
  EXPECT_EQ(ReadError("0\t1\ta\ta\n1\t2\tb\0\tb\n"s), "line 2: NUL byte in the text");
  EXPECT_EQ(ReadError("0\t1\ta\ta\n\x1b[2J\x07\t1\ta\ta\n"),
            "line 2: state number '\\x1B[2J\\x07' is not a non-negative integer");
  EXPECT_EQ(ReadError("0\t1\ta\ta\t\xff\xfe\n"), "line 1: arc weight '\\xFF\\xFE' is not a number");
  const std::string long_field(100000, 'x');
  EXPECT_EQ(ReadError(long_field + "\t1\ta\ta\n"),
            "line 1: state number '" + std::string(64, 'x') + "...' is not a non-negative integer");
  Symbol symbol;
  std::string e;
  EXPECT_EQ(ClassifySymbol("\xC3\x1b", &symbol, &e), SymbolStatus::kInvalid);
  EXPECT_EQ(e, "symbol '\\xC3\\x1B' is not valid UTF-8");
}

TEST(QuotedText, NoControlByteLeavesAndPrintableTextStays) {
  // Every one- and two-byte text, and random longer ones: the quoted text holds no
  // control byte, DEL or C1 control, and unquoting its \xNN escapes gives the input back.
  auto unquote = [](const std::string& q) {
    std::string out;
    for (std::size_t i = 0; i < q.size(); ++i) {
      if (q[i] == '\\' && i + 3 < q.size() && q[i + 1] == 'x') {
        out += static_cast<char>(std::stoi(q.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        out += q[i];
      }
    }
    return out;
  };
  auto safe = [](const std::string& q) {
    for (std::size_t i = 0; i < q.size(); ++i) {
      const auto b = static_cast<unsigned char>(q[i]);
      if (b < 0x20 || b == 0x7F) return false;
      if (b == 0xC2 && i + 1 < q.size() && static_cast<unsigned char>(q[i + 1]) < 0xA0)
        return false;
    }
    return true;
  };
  int compared = 0;
  std::vector<std::string> texts;
  for (int a = 0; a < 256; ++a) {
    texts.push_back(std::string(1, static_cast<char>(a)));
    for (int b = 0; b < 256; ++b) texts.push_back({static_cast<char>(a), static_cast<char>(b)});
  }
  uint32_t seed = 7;
  for (int k = 0; k < 2000; ++k) {
    std::string t(1 + k % 60, ' ');
    for (char& c : t) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    const std::string q = QuotedText(t);
    ASSERT_TRUE(safe(q)) << q;
    ASSERT_EQ(unquote(q), t) << q;
    ++compared;
  }
  EXPECT_EQ(compared, 256 + 65536 + 2000);
  EXPECT_EQ(QuotedText("état <n> a-b"), "état <n> a-b");
  EXPECT_EQ(QuotedText(std::string(65, 'y')), std::string(64, 'y') + "...");
}

TEST(AttReader, SectionsAreChosenByNumber) {
  AttTransducer t;
  std::string error;
  ASSERT_TRUE(ReadAtt("0\t1\ta\ta\n1\n--\n5\t6\tb\tc\n6\n", 2, &t, &error)) << error;
  ASSERT_EQ(t.arcs.size(), 1u);
  EXPECT_EQ(t.symbols[t.arcs[0].in], "b");
  EXPECT_EQ(t.arcs[0].line, 4u);  // lines count across sections
}

TEST(Symbols, ClassifiesCharactersTagsReservedNamesAndFlags) {
  Symbol s;
  std::string e;
  ASSERT_EQ(ClassifySymbol("@0@", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(s.kind, SymbolKind::kEpsilon);
  ASSERT_EQ(ClassifySymbol("@_EPSILON_SYMBOL_@", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(s.kind, SymbolKind::kEpsilon);
  ASSERT_EQ(ClassifySymbol("@_SPACE_@", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(s.byte, ' ');
  ASSERT_EQ(ClassifySymbol("é", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(s.byte, 0xE9);
  ASSERT_EQ(ClassifySymbol("€", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(s.byte, 0x80);
  for (auto [text, name] : {std::pair{"<n>", "n"}, {"[pl]", "pl"}, {"+Noun", "+Noun"}}) {
    ASSERT_EQ(ClassifySymbol(text, &s, &e), SymbolStatus::kOk) << text;
    EXPECT_EQ(s.kind, SymbolKind::kTag);
    EXPECT_EQ(s.name, name);
  }
  ASSERT_EQ(ClassifySymbol("*TAGSEP*", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(s.kind, SymbolKind::kTagSep);
  ASSERT_EQ(ClassifySymbol("EOS", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(s.kind, SymbolKind::kEos);
  ASSERT_EQ(ClassifySymbol("@U.CASE.NOM@", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(s.kind, SymbolKind::kFlag);
  EXPECT_EQ(s.flag_op, 'U');
  EXPECT_EQ(s.name, "CASE");
  EXPECT_EQ(s.value, "NOM");
  ASSERT_EQ(ClassifySymbol("@C.CASE@", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(s.flag_op, 'C');
}

TEST(Symbols, EveryByteAboveSpaceHasACharacterSymbol) {
  // Each byte 0x21-0xFF, written as the character Cp1252ToUtf8 gives it (the five
  // undefined bytes as C1 controls), reads back as that byte; the C1 controls of the
  // defined bytes 0x80-0x9F (0x80 is the euro sign) stay unmappable.
  Symbol s;
  std::string e;
  int read = 0, refused = 0;
  for (int b = 0x21; b <= 0xFF; ++b) {
    const std::string text = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
    ASSERT_EQ(ClassifySymbol(text, &s, &e), SymbolStatus::kOk) << b;
    EXPECT_EQ(s.kind, SymbolKind::kChar);
    EXPECT_EQ(s.byte, b);
    ++read;
  }
  for (char32_t cp = 0x80; cp <= 0x9F; ++cp) {
    if (FromCp1252(static_cast<unsigned char>(cp)) == cp) continue;
    const std::string text{static_cast<char>(0xC2), static_cast<char>(cp)};
    EXPECT_EQ(ClassifySymbol(text, &s, &e), SymbolStatus::kUnmappable) << int(cp);
    ++refused;
  }
  EXPECT_EQ(read, 223);
  EXPECT_EQ(refused, 27);
}

TEST(Symbols, RefusesWhatCannotBeCoded) {
  Symbol s;
  std::string e;
  EXPECT_EQ(ClassifySymbol("ʼ", &s, &e), SymbolStatus::kUnmappable);
  EXPECT_EQ(e, "character U+02BC ('ʼ') has no Windows-1252 code");
  EXPECT_EQ(ClassifySymbol("@P.CASE.NOM@", &s, &e), SymbolStatus::kInvalid);
  EXPECT_NE(e.find("only @U.feature.value@ and @C.feature@"), std::string::npos);
  EXPECT_EQ(ClassifySymbol("@U.CASE@", &s, &e), SymbolStatus::kInvalid);
  EXPECT_EQ(ClassifySymbol("@_UNKNOWN_SYMBOL_@", &s, &e), SymbolStatus::kInvalid);
  EXPECT_EQ(ClassifySymbol("\xC3", &s, &e), SymbolStatus::kInvalid);  // cut UTF-8
  EXPECT_EQ(ClassifySymbol("<" + std::string(62, 'x') + ">", &s, &e), SymbolStatus::kInvalid);
  EXPECT_EQ(ClassifySymbol("<" + std::string(61, 'x') + ">", &s, &e), SymbolStatus::kOk);
  EXPECT_EQ(ClassifySymbol("a]b", &s, &e), SymbolStatus::kInvalid);
  EXPECT_EQ(ClassifySymbol("<中文>", &s, &e), SymbolStatus::kInvalid);
}

TEST(Cp1252, ConvertsBothWaysAndRefusesOtherCharacters) {
  std::string all;  // every byte cp1252 defines
  for (int b = 1; b < 256; ++b)
    if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
      all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC"
                         "a\xC3\xA9"),
            std::string("\x80"
                        "a\xE9"));
  EXPECT_FALSE(Utf8ToCp1252("\xE4\xB8\xAD").has_value());  // U+4E2D
  EXPECT_FALSE(Utf8ToCp1252("\xC0\xAF").has_value());      // overlong
  EXPECT_FALSE(Utf8ToCp1252("\xED\xA0\x80").has_value());  // surrogate
}

}  // namespace
}  // namespace vtm::compiler
