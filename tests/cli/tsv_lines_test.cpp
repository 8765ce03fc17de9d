// Tests of the tsv line writer of `vtm tokenize` (cli/tsv_lines.h) against a plain
// reference: std::to_chars for the numbers, the class names joined by commas and the
// text converted by AppendCodePageAsUtf8, on random token sequences.
#include "tsv_lines.h"

#include <gtest/gtest.h>

#include <charconv>
#include <random>
#include <string>

#include "text_edges.h"

namespace vtm::cli {
namespace {

std::string Decimal(uint64_t n) {
  char digits[24];
  return std::string(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

// Rising numbers by small steps (below 10 and below 100) and large ones, with drops (a new input
// starts at 0), carries through runs of nines and the largest values.
TEST(RisingDecimal, WritesWhatToCharsWrites) {
  std::mt19937_64 random(7);
  int compared = 0;
  for (int run = 0; run < 200; ++run) {
    RisingDecimal decimal;
    uint64_t n = run % 3 == 0 ? 0 : random() >> (random() % 64);
    for (int step = 0; step < 500; ++step) {
      switch (random() % 8) {
        case 0:
          n += random() % 10;
          break;
        case 1:
          n += random() % 1000;
          break;
        case 2:
          n += random() % 3000000000ull;
          break;
        case 3:
          n = n - n % 1000 + 999;
          break;  // a run of nines: the next step carries
        case 4:
          n = random() % 100;
          break;  // may go down
        case 5:
          n = ~uint64_t{0} - random() % 20;
          break;
        case 6:
          n += random() % 100;
          break;
        default:
          n += 1;
          break;
      }
      char out[64];
      char* end = decimal.Write(n, out);
      ASSERT_EQ(std::string(out, end), Decimal(n)) << "run " << run << " step " << step;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 100000);
}

std::string ReferenceLine(uint64_t offset, uint64_t length, uint32_t classes, std::string_view text,
                          bool tag) {
  std::string line = Decimal(offset) + "\t" + Decimal(length) + "\t";
  AppendClassNames(classes, &line, false);
  line += "\t";
  std::string utf8;
  AppendCodePageAsUtf8(text, &utf8);
  if (tag)
    for (char& c : utf8)
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return line + utf8 + "\n";
}

// Random tokens: lengths 0 to 40 (the short copy and the long path), ASCII only or with
// bytes of the upper half and control bytes, readable room just at the token's end or
// beyond it, every class value, tags and not; the buffer grows past its first size.
TEST(TsvLines, WritesTheReferenceLines) {
  std::mt19937 random(11);
  TsvLines lines;
  std::string want;
  uint64_t offset = 0;
  int compared = 0;
  for (int i = 0; i < 60000; ++i) {
    const std::size_t n = random() % 41;
    std::string storage(n + (random() % 2 ? 0 : 16), 'x');
    const bool ascii = random() % 3 != 0;
    for (std::size_t k = 0; k < n; ++k)
      storage[k] = static_cast<char>(ascii ? 0x20 + random() % 0x5F : random() % 256);
    const std::string_view text(storage.data(), n);
    offset = random() % 50 == 0 ? random() % 1000 : offset + random() % 40;
    const uint64_t length = random() % 5 == 0 ? random() : n;
    const uint32_t classes = random() % 512;
    const bool tag = random() % 4 == 0;
    lines.Add(offset, length, classes, text, storage.size(), tag);
    want += ReferenceLine(offset, length, classes, text, tag);
    ++compared;
    if (random() % 5000 == 0) {
      ASSERT_EQ(std::string(lines.data(), lines.size()), want);
      lines.clear();
      want.clear();
    }
  }
  EXPECT_EQ(std::string(lines.data(), lines.size()), want);
  EXPECT_EQ(compared, 60000);
}

// A writer holds no buffer until its first line (a stream of another format never
// writes one), through both ways of writing; writers made one after another share the
// class-name table and write the same lines.
TEST(TsvLines, AWriterWithoutLinesHoldsNothing) {
  TsvLines empty;
  TsvLines::Span span = empty.Open();
  EXPECT_EQ(span.p, span.limit);
  empty.Close(span.p);
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_EQ(std::string(empty.data(), empty.size()), "");
  const std::string text = "caf\xe9 au lait";
  const std::string want =
      ReferenceLine(7, 3, 0x101, text, false) + ReferenceLine(12, 5, 0x42, "<b>", true);
  for (int k = 0; k < 3; ++k) {
    TsvLines lines;
    span = lines.Open();
    ASSERT_LT(static_cast<std::size_t>(span.limit - span.p), TsvLines::LineRoom(text.size()));
    span = lines.Grow(span.p, TsvLines::LineRoom(text.size()));
    span.p = lines.Line(span.p, 7, 3, 0x101, text, text.size(), false);
    lines.Close(span.p);
    lines.Add(12, 5, 0x42, "<b>", 3, true);
    EXPECT_EQ(std::string(lines.data(), lines.size()), want) << k;
  }
}

TEST(TsvLines, ClassNames) {
  std::string names;
  AppendClassNames(0, &names, false);
  AppendClassNames(0x16, &names, true);
  AppendClassNames(0x120, &names, false);
  EXPECT_EQ(names, "mixed\"punct\",\"closing\",\"sentence-end\"line-break,paragraph");
}

}  // namespace
}  // namespace vtm::cli
