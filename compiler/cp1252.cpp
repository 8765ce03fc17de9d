// UTF-8 <-> Windows-1252 conversion.
#include "cp1252.h"

#include <array>

namespace vtm::compiler {
namespace {

// Code points of bytes 0x80-0x9F in cp1252; 0 marks the five undefined bytes.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t* pos) {
  if (*pos >= text.size()) return std::nullopt;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char b0 = byte(*pos);
  int extra;
  char32_t cp;
  if (b0 < 0x80) {
    ++*pos;
    return b0;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    extra = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    extra = 2;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    extra = 3;
    cp = b0 & 0x07;
  } else {
    return std::nullopt;
  }
  if (*pos + extra >= text.size()) return std::nullopt;
  for (int i = 1; i <= extra; ++i) {
    unsigned char b = byte(*pos + i);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    cp = cp << 6 | (b & 0x3F);
  }
  static constexpr char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
  *pos += extra + 1;
  return cp;
}

std::optional<unsigned char> ToCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] != 0 && kHigh[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

char32_t FromCp1252(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0) return kHigh[byte - 0x80];
  return byte;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    auto cp = DecodeUtf8(utf8, &pos);
    if (!cp) return std::nullopt;
    auto b = ToCp1252(*cp);
    if (!b) return std::nullopt;
    out.push_back(static_cast<char>(*b));
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    char32_t cp = FromCp1252(static_cast<unsigned char>(c));
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | cp >> 6));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | cp >> 12));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace vtm::compiler
