// The tokenizer record and the internal operations of the tokenizer: the byte scanner
// (scanner.cpp), HTML tag parsing and tag properties (tags.cpp) and the splitting of a
// chunk by the tokenizer transducer (chunk_split.cpp). Tested in
// tests/lib/tokenizer_*_test.cpp.
#pragma once

#include <cstdint>

#include "token/chunk_cache.h"
#include "vtmrt.h"

struct VtmTokenizerRec {
  VtmFsm fsm;              // the tokenizer transducer; borrowed
  int32_t lookup_option;   // passed unchanged to every chunk lookup
  VtmClientDict tag_dict;  // HTML tag properties, or null; borrowed
  char* scratch;           // owned: the transducer's output for a chunk
  uint32_t scratch_size;   // 1024 at creation, doubled on overflow, never shrinks
  // Owned: outputs of short chunks seen before (chunk_cache.h); null when it could not
  // be allocated, and the tokenizer then runs the transducer on every chunk.
  vtm::ChunkCache* chunk_cache;
};

namespace vtm {

inline constexpr uint32_t kTokenizerScratchStart = 1024;

// Fills a record for a token that is its input span byte for byte: no normalized form.
inline void SetSpanToken(VtmToken* t, int offset, int length, uint32_t class_bits) {
  t->norm_offset = -1;
  t->offset = offset;
  t->length = length;
  t->class_bits = class_bits;
}

// Where a chunk's records and normalized forms go, and how much of them is used.
struct TokenSink {
  VtmToken* tokens;
  int capacity;
  int count;  // records written so far
  char* strings;
  int strings_size;
  int strings_used;  // bytes of `strings` used so far
};

// Runs the transducer over the chunk text[start, end) and appends its tokens to *sink,
// aligned with the input (offsets relative to `text`). On failure returns a negative
// code; records and normalized forms past those of *sink on entry may then have been
// written and counted in *sink: the caller restores its sink as it was.
int SplitChunk(const char* text, int start, int end, VtmTokenizerRec* tokenizer, TokenSink* sink);

// Class of one output token of a chunk (`length` bytes at `token`).
uint32_t OutputTokenClass(const unsigned char* token, int length);
// The same, from the byte classes (char_classes.h) that all its bytes share, `all`
// (gathered while the token was matched with its input: no second pass over it).
uint32_t CopiedTokenClass(const unsigned char* token, int length, uint8_t all);

}  // namespace vtm
