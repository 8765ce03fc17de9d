// UTF-8 <-> cp1252 at the command line's edges, with an ASCII fast path: most words of
// running text are plain ASCII, which is the same in both.
#include "text_edges.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "cp1252.h"

namespace vtm::cli {
namespace {

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

bool IsAscii(std::string_view text) {
  // Eight bytes at a time: words of running text are short, but results can be long.
  const char* p = text.data();
  std::size_t n = text.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t block;
    std::memcpy(&block, p, 8);
    if (block & 0x8080808080808080ull) return false;
  }
  for (; n > 0; ++p, --n)
    if (static_cast<unsigned char>(*p) >= 0x80) return false;
  return true;
}

EdgeStatus Utf8ToCodePage(std::string_view text, std::string* out, std::size_t* where) {
  if (IsAscii(text)) {
    out->assign(text);
    return EdgeStatus::kOk;
  }
  out->clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    *where = pos;
    auto cp = compiler::DecodeUtf8(text, &pos);
    if (!cp) return EdgeStatus::kInvalidUtf8;
    auto byte = compiler::ToCp1252(*cp);
    if (!byte) return EdgeStatus::kNotInCodePage;
    out->push_back(static_cast<char>(*byte));
  }
  return EdgeStatus::kOk;
}

namespace {

// The UTF-8 form of each cp1252 byte (at most 3 bytes: every character is in the BMP).
struct Utf8Forms {
  unsigned char length[256];
  char bytes[256][3];
  Utf8Forms() {
    for (int b = 0; b < 256; ++b) {
      std::string s;
      AppendUtf8(compiler::FromCp1252(static_cast<unsigned char>(b)), &s);
      length[b] = static_cast<unsigned char>(s.size());
      std::memcpy(bytes[b], s.data(), s.size());
    }
  }
};

const Utf8Forms& Forms() {
  static const Utf8Forms forms;
  return forms;
}

}  // namespace

char* WriteCodePageAsUtf8(std::string_view bytes, char* out) {
  const Utf8Forms& forms = Forms();
  for (char c : bytes) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      *out++ = c;
    } else {
      std::memcpy(out, forms.bytes[b], 3);
      out += forms.length[b];
    }
  }
  return out;
}

void AppendCodePageAsUtf8(std::string_view bytes, std::string* out) {
  if (IsAscii(bytes)) {
    out->append(bytes);
    return;
  }
  const std::size_t old = out->size();
  out->resize(old + 3 * bytes.size());
  char* end = WriteCodePageAsUtf8(bytes, out->data() + old);
  out->resize(static_cast<std::size_t>(end - out->data()));
}

void AppendSanitizedUtf8(std::string_view text, std::string* out) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t start = pos;
    if (auto cp = compiler::DecodeUtf8(text, &pos)) {
      out->append(text.substr(start, pos - start));
    } else {
      AppendUtf8(0xFFFD, out);
      pos = start + 1;
    }
  }
}

void AppendJsonString(std::string_view utf8, std::string* out) {
  out->push_back('"');
  for (char c : utf8) {
    unsigned char b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(c);
    } else if (b < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", b);
      out->append(escape);
    } else {
      out->push_back(c);
    }
  }
  out->push_back('"');
}

}  // namespace vtm::cli
