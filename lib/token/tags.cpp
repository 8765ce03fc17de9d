// HTML tag parsing and tag properties for the tokenizer's scanner.
#include "token/tags.h"

#include <cstring>

#include "token/char_classes.h"

namespace vtm {
namespace {

// Copies the name from the bytes after the "<" up to `end` (exclusive): it stops before
// whitespace and after kTagNameMax bytes; capitals A-Z are lowered.
void TakeName(const unsigned char* tag, int end, ParsedTag* out) {
  int k = 0;
  for (int q = 1; q < end && k < kTagNameMax; ++q) {
    unsigned char b = tag[q];
    if (ByteIs(b, kByteSpace) || b == '>') break;
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
    out->name[k++] = static_cast<char>(b);
  }
  out->name[k] = 0;
}

const unsigned char* Find(const unsigned char* from, const unsigned char* end, unsigned char b) {
  return static_cast<const unsigned char*>(
      std::memchr(from, b, static_cast<std::size_t>(end - from)));
}

}  // namespace

ParsedTag ParseTag(const unsigned char* tag, int available, bool final) {
  ParsedTag out;
  if (available < 3) return out;
  const unsigned char* end = tag + available;
  if (tag[1] == '!' && tag[2] == '-') {
    // A comment ends at the first ">" (at 5 or later) that follows "--".
    if (available < 7) return out;
    for (const unsigned char* gt = Find(tag + 5, end, '>'); gt != nullptr;
         gt = Find(gt + 1, end, '>')) {
      if (gt[-1] == '-' && gt[-2] == '-') {
        out.complete = true;
        out.length = static_cast<int>(gt - tag) + 1;
        std::memcpy(out.name, "!--", 4);
        return out;
      }
    }
    return out;
  }
  if (const unsigned char* gt = Find(tag + 1, end, '>')) {
    out.complete = true;
    out.length = static_cast<int>(gt - tag) + 1;
    TakeName(tag, out.length, &out);
    return out;
  }
  // No ">" in the piece: in a final piece the tag is cut before the next "<", if there
  // is one.
  if (!final) return out;
  if (const unsigned char* lt = Find(tag + 1, end, '<')) {
    out.complete = true;
    out.length = static_cast<int>(lt - tag);
    TakeName(tag, out.length, &out);
  }
  return out;
}

TagProperties LookupTagProperties(const char* name, VtmClientDict dict) {
  TagProperties p;
  if (dict == nullptr) return p;
  if (name[0] == '/') ++name;
  char texts[256];
  const int count =
      vtm_client_dict_lookup(name, nullptr, texts, sizeof texts, VTM_DICT_TAGS, 0, dict);
  const char* text = texts;
  for (int k = 0; k < count; ++k) {
    if (std::strcmp(text, "[html-sent]") == 0) {
      p.sentence = true;
    } else if (std::strcmp(text, "[html-tag-keep]") == 0) {
      p.keep = true;
    } else if (std::strcmp(text, "[html-tag-inhibit]") == 0) {
      p.inhibit = true;
    } else if (std::strcmp(text, "[html-para]") == 0) {
      p.paragraph = true;
    }
    text += std::strlen(text) + 1;
  }
  return p;
}

uint32_t TagClass(const TagProperties& properties) {
  uint32_t k = properties.keep ? VTM_TOKEN_TAG_KEPT : VTM_TOKEN_MARKUP;
  if (properties.sentence) k |= VTM_TOKEN_SENTENCE_END;
  if (properties.paragraph) k |= VTM_TOKEN_PARAGRAPH;
  return k;
}

}  // namespace vtm
