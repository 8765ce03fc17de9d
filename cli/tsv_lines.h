// The tsv lines of `vtm tokenize`: "offset<TAB>length<TAB>classes<TAB>text<LF>" per token,
// written into one growing byte buffer that the caller flushes. Offsets grow from token
// to token, so the decimal form of the last one is kept and the next is made by adding
// the difference to its digits, which costs a few instructions where formatting the
// number afresh costs dozens; class names come from a table. Tested by
// tests/cli/tsv_lines_test.cpp and, as a process, tests/cli/tokenize_test.sh.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace vtm::cli {

// The names of the class bits set in `classes`, comma-separated ("punct,closing"; "mixed"
// for 0), each quoted when `json` is set; appended to *out.
void AppendClassNames(uint32_t classes, std::string* out, bool json);

// "00" to "99": the two-digit forms of 0 to 99, back to back.
inline constexpr std::array<char, 200> kTwoDigits = [] {
  std::array<char, 200> t{};
  for (int k = 0; k < 100; ++k) {
    t[2 * k] = static_cast<char>('0' + k / 10);
    t[2 * k + 1] = static_cast<char>('0' + k % 10);
  }
  return t;
}();

// The decimal digits of a number that mostly grows a little at a time.
class RisingDecimal {
 public:
  RisingDecimal() { digits_[kDigits - 1] = '0'; }

  // Writes the digits of `n` at `out` (room for 20 bytes, which may all be written to);
  // returns the end of the digits.
  char* Write(uint64_t n, char* out) {
    if (n >= value_ && n - value_ < 100) {
      // The last two digits, kept as a number, take the difference. They pass 99 (and
      // carry one into the digits before them) about once in twenty tokens, where the
      // last digit alone passed 9 at every other token, each time a branch that the
      // processor could not foresee.
      uint32_t low = low_ + static_cast<uint32_t>(n - value_);
      value_ = n;
      if (low >= 100) {
        low -= 100;
        CarryHundred();
      }
      low_ = low;
      std::memcpy(digits_ + kDigits - 2, kTwoDigits.data() + 2 * low, 2);
      // Below 100 the number has one or two digits.
      if (first_ >= kDigits - 2) first_ = low < 10 ? kDigits - 1 : kDigits - 2;
    } else {
      Step(n);
    }
    // A fixed-size copy (the digits and what follows them) is cheaper than an exact one.
    std::memcpy(out, digits_ + first_, kDigits);
    return out + (kDigits - first_);
  }

 private:
  static constexpr int kDigits = 20;
  // Adds one to the digits before the last two, through any run of nines (a number of
  // 20 nines exceeds 64 bits, so the run ends); a number below 100 gets the digit 1.
  void CarryHundred() {
    int i = kDigits - 3;
    while (i >= first_ && digits_[i] == '9') digits_[i--] = '0';
    if (i < first_) {
      digits_[i] = '1';
      first_ = i;
    } else {
      ++digits_[i];
    }
  }
  // Sets the digits to those of `n`: by adding the difference with carries, or afresh.
  void Step(uint64_t n);

  uint64_t value_ = 0;
  uint32_t low_ = 0;         // value_ % 100
  int first_ = kDigits - 1;  // digits_[first_, kDigits) are the value's digits
  // Right-aligned in [0, kDigits); only [first_, kDigits) is meaningful. The padding
  // lets Write copy a fixed kDigits bytes from first_.
  char digits_[2 * kDigits] = {};
};

class TsvLines {
  struct ClassName {
    uint8_t length;
    char text[79];
  };
  static constexpr uint32_t kClassValues = 512;
  static constexpr std::size_t kFirstCapacity = 1 << 20;

 public:
  TsvLines();

  // Appends the line of one token. `text` is code page 1252 (written as UTF-8), and
  // `readable` bytes from its start may be read (at least its size); in a tag (`tag`
  // true) control bytes are written as spaces, so that the line stays one line.
  void Add(uint64_t offset, uint64_t length, uint32_t classes, std::string_view text,
           std::size_t readable, bool tag) {
    Span span = Open();
    if (static_cast<std::size_t>(span.limit - span.p) < LineRoom(text.size()))
      span = Grow(span.p, LineRoom(text.size()));
    Close(Line(span.p, offset, length, classes, text, readable, tag));
  }

  // The same for many lines, with the write position held by the caller (in a register,
  // where a field would be read again after every byte written): Open gives the free
  // room, Line writes a line into it when it has LineRoom bytes, Grow makes more room
  // (keeping what was written up to `end`), Close sets the end of what was written.
  struct Span {
    char* p;
    char* limit;
  };
  // Before the first Grow there is no buffer and no room.
  Span Open() {
    if (!buffer_) return {nullptr, nullptr};
    return {buffer_.get() + used_, buffer_.get() + capacity_};
  }
  void Close(char* end) {
    if (buffer_) used_ = static_cast<std::size_t>(end - buffer_.get());
  }
  Span Grow(char* end, std::size_t bytes);
  // Two numbers of at most 20 digits, the class names, the text (3 UTF-8 bytes per byte
  // at most, and 16 for a short one), three tabs and a line feed.
  static constexpr std::size_t LineRoom(std::size_t text_bytes) {
    return 2 * 20 + sizeof(ClassName::text) + 3 * text_bytes + 16 + 4;
  }
  char* Line(char* p, uint64_t offset, uint64_t length, uint32_t classes, std::string_view text,
             std::size_t readable, bool tag) {
    p = offset_.Write(offset, p);
    *p++ = '\t';
    if (length < 10) {
      *p++ = static_cast<char>('0' + length);
    } else {
      p = WriteNumber(length, p);
    }
    *p++ = '\t';
    const ClassName& names = class_names_[classes & (kClassValues - 1)];
    if (names.length <= 32) {
      std::memcpy(p, names.text, 32);
    } else {
      std::memcpy(p, names.text, sizeof names.text);
    }
    p += names.length;
    *p++ = '\t';
    char* const from = p;
    p = WriteText(text, readable, p);
    if (tag) {
      for (char* c = from; c < p; ++c)
        if (static_cast<unsigned char>(*c) < 0x20) *c = ' ';
    }
    *p++ = '\n';
    return p;
  }

  const char* data() const { return buffer_.get(); }
  std::size_t size() const { return used_; }
  void clear() { used_ = 0; }

 private:
  static char* WriteNumber(uint64_t n, char* out);
  // The UTF-8 form of code page 1252 `text` at `out`; returns the end. Most tokens are
  // short and ASCII: they are copied sixteen bytes at once, when that many can be read.
  static char* WriteText(std::string_view text, std::size_t readable, char* out) {
    const std::size_t n = text.size();
    if (n <= 16 && readable >= 16) {
      uint64_t low, high;
      std::memcpy(&low, text.data(), 8);
      std::memcpy(&high, text.data() + 8, 8);
      std::memcpy(out, text.data(), 16);
      const uint64_t low_mask = n >= 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * n)) - 1;
      const uint64_t high_mask = n <= 8    ? 0
                                 : n == 16 ? ~uint64_t{0}
                                           : (uint64_t{1} << (8 * (n - 8))) - 1;
      if ((((low & low_mask) | (high & high_mask)) & 0x8080808080808080ull) == 0) return out + n;
    }
    return WriteSlowText(text, out);
  }
  static char* WriteSlowText(std::string_view text, char* out);

  // The names of each of the 512 class values: one table for the process, made at the
  // first use (a stream is made per call, and a call may be one short line of text).
  static const ClassName* ClassNames();

  const ClassName* class_names_ = ClassNames();
  // Made at the first line (a stream of another format writes none).
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0, used_ = 0;
  RisingDecimal offset_;
};

}  // namespace vtm::cli
