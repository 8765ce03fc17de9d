// Reading tagged sentences (see tagged_input.h).
#include "tagged_input.h"

namespace vtm::cli {
namespace {

void SkipSpace(std::string_view s, std::size_t* p) {
  while (*p < s.size() && (s[*p] == ' ' || s[*p] == '\t')) ++*p;
}

// A JSON string at *p (after spaces); \uXXXX escapes below 0x100 become that byte.
bool JsonString(std::string_view s, std::size_t* p, std::string* out) {
  SkipSpace(s, p);
  if (*p >= s.size() || s[*p] != '"') return false;
  ++*p;
  out->clear();
  while (*p < s.size() && s[*p] != '"') {
    char c = s[(*p)++];
    if (c == '\\') {
      if (*p >= s.size()) return false;
      const char e = s[(*p)++];
      switch (e) {
        case 'n':
          c = '\n';
          break;
        case 't':
          c = '\t';
          break;
        case 'r':
          c = '\r';
          break;
        case 'b':
          c = '\b';
          break;
        case 'f':
          c = '\f';
          break;
        case 'u': {
          if (*p + 4 > s.size()) return false;
          const unsigned v =
              static_cast<unsigned>(std::stoul(std::string(s.substr(*p, 4)), nullptr, 16));
          *p += 4;
          if (v > 0xFF) return false;
          c = static_cast<char>(v);
          break;
        }
        default:
          c = e;
      }
    }
    out->push_back(c);
  }
  if (*p >= s.size()) return false;
  ++*p;
  return true;
}

bool Expect(std::string_view s, std::size_t* p, char c) {
  SkipSpace(s, p);
  if (*p >= s.size() || s[*p] != c) return false;
  ++*p;
  return true;
}

}  // namespace

bool ParseJsonPairs(std::string_view line, std::vector<TaggedToken>* tokens) {
  std::size_t p = 0;
  try {
    if (!Expect(line, &p, '[')) return false;
    SkipSpace(line, &p);
    if (p < line.size() && line[p] == ']') return ++p, true;
    for (;;) {
      TaggedToken token;
      if (!Expect(line, &p, '[') || !JsonString(line, &p, &token.word) || !Expect(line, &p, ',') ||
          !JsonString(line, &p, &token.tag) || !Expect(line, &p, ']')) {
        return false;
      }
      tokens->push_back(std::move(token));
      SkipSpace(line, &p);
      if (p < line.size() && line[p] == ',') {
        ++p;
        continue;
      }
      if (!Expect(line, &p, ']')) return false;
      SkipSpace(line, &p);
      return p == line.size();
    }
  } catch (const std::exception&) {
    return false;
  }
}

std::string GrouperTag(const std::string& tag) {
  if (tag.empty()) return tag;
  if (tag[0] == '(') return "-lrb-" + tag.substr(1);
  if (tag[0] == ')') return "-rrb-" + tag.substr(1);
  return tag;
}

}  // namespace vtm::cli
