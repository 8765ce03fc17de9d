// The reference tokenizer (see token_reference.h).
#include "support/token_reference.h"

namespace vtm::test {
namespace {

bool Has(const std::string& set, unsigned char b) {
  return set.find(static_cast<char>(b)) != std::string::npos;
}
bool Space(unsigned char b) {
  return b <= 0x20;
}
bool Word(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
         (b >= 0xC0 && b != 0xD7 && b != 0xF7);
}
const std::string kClosing = "!\"),:;?]}\xA9\xAE\xB2\xB3\xB9\xBB";
const std::string kOpening = "\"([{\xA1\xAB\xBF";
bool Closing(unsigned char b) {
  return Has(kClosing, b);
}
bool Opening(unsigned char b) {
  return Has(kOpening, b);
}

unsigned Punct(unsigned char b) {
  unsigned k = 2;
  if (Closing(b) || Has("'.\x85\x86\x87\x89\x94\x99", b)) k |= 4;
  if (Opening(b) || Has("`\x82\x84\x85\x8B\x91\x93", b)) k |= 8;
  if (Has(".?!\x85", b)) k |= 16;
  return k;
}

bool OutWord(unsigned char b) {
  return Word(b) || Has("\x83\x8A\x8C\x9A\x9C\x9F", b);
}
bool Symbol(unsigned char b) {
  return (b >= 0x21 && b <= 0x2F) || (b >= 0x3A && b <= 0x40) || (b >= 0x5B && b <= 0x60) ||
         (b >= 0x7B && b <= 0x7E) || b == 0x82 || (b >= 0x84 && b <= 0x89) || b == 0x8B ||
         (b >= 0x91 && b <= 0x99) || b == 0x9B || (b >= 0xA1 && b <= 0xBF) || b == 0xD7 ||
         b == 0xF7;
}

unsigned ChunkClass(const std::string& t) {
  auto all = [&](bool (*f)(unsigned char)) {
    for (char c : t)
      if (!f(static_cast<unsigned char>(c))) return false;
    return true;
  };
  const unsigned char first = static_cast<unsigned char>(t[0]);
  if (OutWord(first)) return all(OutWord) ? 1 : 0;
  if (t.size() == 1) return Punct(first);
  return all(Symbol) ? Punct(first) : 0;
}

struct Tag {
  bool complete = false;
  std::size_t end = 0;  // one past the tag's last byte
  std::string name;
};

Tag ParseAt(const std::string& s, std::size_t at, bool final) {
  Tag tag;
  const std::size_t left = s.size() - at;
  if (left < 3) return tag;
  if (s[at + 1] == '!' && s[at + 2] == '-') {
    if (left < 7) return tag;
    for (std::size_t q = at + 5; q < s.size(); ++q) {
      if (s[q] == '>' && s[q - 1] == '-' && s[q - 2] == '-') {
        tag.complete = true;
        tag.end = q + 1;
        tag.name = "!--";
        return tag;
      }
    }
    return tag;
  }
  std::size_t gt = s.find('>', at + 1);
  std::size_t name_end;
  if (gt != std::string::npos) {
    tag.end = gt + 1;
    name_end = gt;
  } else {
    std::size_t lt = s.find('<', at + 1);
    if (lt == std::string::npos || !final) return tag;
    tag.end = lt;
    name_end = lt;
  }
  tag.complete = true;
  for (std::size_t q = at + 1; q < name_end && tag.name.size() < 14; ++q) {
    char c = s[q];
    if (Space(static_cast<unsigned char>(c))) break;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    tag.name += c;
  }
  return tag;
}

}  // namespace

ReferenceRun ReferenceTokenize(const std::string& s, int flags, const TagTable& tags) {
  const bool final = flags & 1, html = flags & 2, line_para = flags & 4;
  const std::size_t n = s.size();
  ReferenceRun run;
  auto add = [&](std::size_t a, std::size_t b, unsigned k) {
    run.tokens.push_back(TokenOut{static_cast<int>(a), static_cast<int>(b - a), k, -1, ""});
  };
  auto stop = [&](std::size_t at) {
    run.rc = static_cast<int>(at);
    return run;
  };
  auto has = [&](const std::string& name, const char* spec) {
    std::string key = !name.empty() && name[0] == '/' ? name.substr(1) : name;
    auto it = tags.find(key);
    return it != tags.end() && it->second.count(spec) > 0;
  };
  std::size_t p = 0;
  while (p < n) {
    std::size_t first_break = n;
    int lf = 0, cr = 0;
    for (; p < n && Space(static_cast<unsigned char>(s[p])); ++p) {
      if (s[p] == '\n' || s[p] == '\r') {
        if (first_break == n) first_break = p;
        (s[p] == '\n' ? lf : cr)++;
      }
    }
    if (p == n && !final) return stop(!html && first_break != n ? first_break : p);
    if (!html && first_break != n)
      add(first_break, p, (lf > 1 || cr > 1 || line_para) ? 0x120 : 0x20);
    const std::size_t start = p;
    while (p < n && Word(static_cast<unsigned char>(s[p]))) ++p;
    const bool word = p > start;
    const bool at_end = p == n;
    if (at_end || Space(static_cast<unsigned char>(s[p])) || (html && word && s[p] == '<')) {
      if (at_end && !final) return stop(start);
      if (word) add(start, p, 1);
      continue;
    }
    if (!word && Opening(static_cast<unsigned char>(s[p]))) {
      add(p, p + 1, 0x0A);
      ++p;
      continue;
    }
    if (html && !word && s[p] == '<') {
      Tag tag = ParseAt(s, p, final);
      if (!tag.complete) {
        if (!final) return stop(start);
        tag.end = n;
        tag.name.clear();
      }
      p = tag.end;
      const bool keep = has(tag.name, "[html-tag-keep]");
      unsigned k = keep ? 0x40 : 0x80;
      if (has(tag.name, "[html-sent]")) k |= 0x10;
      if (has(tag.name, "[html-para]")) k |= 0x100;
      if (has(tag.name, "[html-tag-inhibit]") && !keep) {
        if (tag.name[0] == '/') {
          add(start, p, k);
          return stop(p);
        }
        int depth = 1;
        while (depth > 0 && p < n) {
          std::size_t lt = s.find('<', p);
          if (lt == std::string::npos) {
            p = n;
            break;
          }
          Tag inner = ParseAt(s, lt, final);
          if (!inner.complete) {
            p = n;
            break;
          }
          p = inner.end;
          if (inner.name == tag.name) ++depth;
          if (inner.name == "/" + tag.name) --depth;
        }
        if (depth > 0 && !final) return stop(start);
        if (p > start) add(start, p, 0x80);
        continue;
      }
      if (p > start) add(start, p, k);
      continue;
    }
    const std::size_t w = p;
    while (p < n && Closing(static_cast<unsigned char>(s[p]))) ++p;
    if (p == n || Space(static_cast<unsigned char>(s[p])) || (html && s[p] == '<')) {
      if (p == n && !final) return stop(start);
      if (w > start) add(start, w, 1);
      for (std::size_t q = w; q < p; ++q) add(q, q + 1, Punct(static_cast<unsigned char>(s[q])));
      continue;
    }
    while (p < n && !Space(static_cast<unsigned char>(s[p])) && !(html && s[p] == '<')) ++p;
    if (p == n && !final) return stop(start);
    const std::string chunk = s.substr(start, p - start);
    for (char c : chunk) {
      if (!InIdentityAlphabet(static_cast<unsigned char>(c))) {
        if (start == 0) {
          run.rc = VTM_ERR_CHAR_NOT_IN_ALPHABET;
          return run;
        }
        return stop(start);
      }
    }
    add(start, p, ChunkClass(chunk));
  }
  return stop(n);
}

}  // namespace vtm::test
