// The tsv lines of `vtm tokenize` (see tsv_lines.h).
#include "tsv_lines.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "text_edges.h"

namespace vtm::cli {
namespace {

// Class bit names, in bit order.
constexpr const char* kClassNames[] = {"word",     "punct",        "closing",
                                       "opening",  "sentence-end", "line-break",
                                       "tag-kept", "markup",       "paragraph"};

}  // namespace

void AppendClassNames(uint32_t classes, std::string* out, bool json) {
  if (classes == 0) {
    out->append(json ? "\"mixed\"" : "mixed");
    return;
  }
  bool first = true;
  for (int bit = 0; bit < 9; ++bit) {
    if (!(classes & (1u << bit))) continue;
    if (!first) out->push_back(',');
    first = false;
    if (json) out->push_back('"');
    out->append(kClassNames[bit]);
    if (json) out->push_back('"');
  }
}

void RisingDecimal::Step(uint64_t n) {
  if (n < value_ || n - value_ >= 1000000000) {
    // Back down (a new input) or a long way up: formatted afresh.
    char fresh[kDigits];
    const char* end = std::to_chars(fresh, fresh + kDigits, n).ptr;
    const int count = static_cast<int>(end - fresh);
    first_ = kDigits - count;
    std::memcpy(digits_ + first_, fresh, static_cast<std::size_t>(count));
  } else {
    // The difference is added to the digits from the right, carrying as far as needed.
    uint32_t carry = static_cast<uint32_t>(n - value_);
    for (int i = kDigits - 1; carry != 0; --i) {
      if (i < first_) {
        digits_[i] = '0';
        first_ = i;
      }
      const uint32_t sum = static_cast<uint32_t>(digits_[i] - '0') + carry;
      carry = sum / 10;
      digits_[i] = static_cast<char>('0' + (sum - carry * 10));
    }
  }
  value_ = n;
  low_ = static_cast<uint32_t>(n % 100);
}

const TsvLines::ClassName* TsvLines::ClassNames() {
  static const std::unique_ptr<ClassName[]> table = [] {
    std::unique_ptr<ClassName[]> names(new ClassName[kClassValues]);
    for (uint32_t k = 0; k < kClassValues; ++k) {
      std::string text;
      AppendClassNames(k, &text, false);
      ClassName& entry = names[k];
      std::memset(entry.text, 0, sizeof entry.text);
      entry.length = static_cast<uint8_t>(text.size());
      std::memcpy(entry.text, text.data(), text.size());
    }
    return names;
  }();
  return table.get();
}

TsvLines::TsvLines() = default;

TsvLines::Span TsvLines::Grow(char* end, std::size_t bytes) {
  Close(end);
  const std::size_t capacity = std::max({capacity_ * 2, used_ + bytes, kFirstCapacity});
  std::unique_ptr<char[]> larger(new char[capacity]);
  if (used_ > 0) std::memcpy(larger.get(), buffer_.get(), used_);
  buffer_ = std::move(larger);
  capacity_ = capacity;
  return Open();
}

char* TsvLines::WriteNumber(uint64_t n, char* out) {
  return std::to_chars(out, out + 20, n).ptr;
}

char* TsvLines::WriteSlowText(std::string_view text, char* out) {
  unsigned char high = 0;
  for (std::size_t k = 0; k < text.size(); ++k) {
    out[k] = text[k];
    high |= static_cast<unsigned char>(text[k]);
  }
  if (!(high & 0x80)) return out + text.size();
  return WriteCodePageAsUtf8(text, out);
}

}  // namespace vtm::cli
