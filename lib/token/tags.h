// HTML tags for the tokenizer: parsing a tag at a "<" (its extent and its name, lowered
// and cut to 14 bytes) and reading a tag name's properties from the tag dictionary.
// Tested in tests/lib/tokenizer_html_test.cpp.
#pragma once

#include <cstdint>

#include "vtmrt.h"

namespace vtm {

inline constexpr int kTagNameMax = 14;

struct ParsedTag {
  bool complete = false;
  int length = 0;                    // bytes from the "<" through the tag's last byte
  char name[kTagNameMax + 1] = {0};  // NUL-terminated
};

// Parses the tag at `tag` ("<" at tag[0]), `available` bytes (at least 1) left in the
// piece. An incomplete tag has length 0 and an empty name. A tag without any ">" after
// it is cut before the next "<" only in a final piece (`final`): in a piece that more
// text follows, its ">" may still come, so it is incomplete there. (Cutting it there
// would make the tokens depend on where the caller's pieces end.)
ParsedTag ParseTag(const unsigned char* tag, int available, bool final);

struct TagProperties {
  bool sentence = false;   // "[html-sent]"
  bool keep = false;       // "[html-tag-keep]"
  bool inhibit = false;    // "[html-tag-inhibit]"
  bool paragraph = false;  // "[html-para]"
};

// Properties of a tag name (a leading "/" is skipped) from `dict`; none without a
// dictionary or when the lookup fails.
TagProperties LookupTagProperties(const char* name, VtmClientDict dict);

// Class bits of a tag token with these properties.
uint32_t TagClass(const TagProperties& properties);

}  // namespace vtm
