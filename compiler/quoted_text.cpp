// Input text made safe for a message (quoted_text.h).
#include "quoted_text.h"

namespace vtm::compiler {
namespace {

// Longest piece of input text quoted in a message.
constexpr std::size_t kQuotedBytes = 64;

// Byte count of the UTF-8 sequence (lead byte and continuation bytes) at text[i], or 0
// when there is none or it encodes a C1 control (U+0080..U+009F).
std::size_t Utf8Sequence(std::string_view text, std::size_t i) {
  const auto b = static_cast<unsigned char>(text[i]);
  const std::size_t n = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  if (b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace

std::string QuotedText(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (i >= kQuotedBytes) {
      out += "...";
      break;
    }
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out += static_cast<char>(b);
      ++i;
    } else if (const std::size_t n = b >= 0x80 ? Utf8Sequence(text, i) : 0; n != 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
      ++i;
    }
  }
  return out;
}

}  // namespace vtm::compiler
