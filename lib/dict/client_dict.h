// Client dictionary records and the internal entry points that other subsystems (word
// lookup, the tokenizer, the tagger) call from inside the library.
//
// A dictionary is a fixed hash table of 211 chains; each chain is a singly linked list
// of entries, newest first. An entry is a single heap block: the record below followed
// by the key text and then the value text, both NUL-terminated. The table never grows,
// entries are never removed one by one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vtmrt.h"

struct VtmDictEntry {
  VtmDictEntry* next;  // next entry of the same chain, or null
  char* value;         // points into this block, right after the key's NUL

  // The key is stored inline, directly after the record.
  const char* key() const { return reinterpret_cast<const char*>(this + 1); }
  char* key() { return reinterpret_cast<char*>(this + 1); }
};

struct VtmClientDictRec {
  VtmDictEntry** buckets;  // owned array of bucket_count chain heads
  uint32_t bucket_count;   // always kDictBucketCount
  uint32_t entry_count;    // entries added so far
};

namespace vtm {

inline constexpr uint32_t kDictBucketCount = 211;

// System V ELF hash of a byte string (bytes taken unsigned).
inline uint32_t ElfHash(const char* text, std::size_t length) {
  uint32_t h = 0;
  for (std::size_t i = 0; i < length; ++i) {
    h = (h << 4) + static_cast<unsigned char>(text[i]);
    uint32_t g = h & 0xF0000000u;
    if (g != 0) {
      h ^= g >> 24;
      h ^= g;
    }
  }
  return h;
}

inline uint32_t DictBucket(const char* key, std::size_t length) {
  return ElfHash(key, length) % kDictBucketCount;
}

// Argument checks of vtm_client_dict_lookup, in its order: the dictionary (null, or an
// error object's own code), the word, the tag when filtering, the output when writing,
// then negative numbers. Returns 0 when the call may proceed.
int CheckDictLookupArgs(const void* dict, const char* word, const char* tag, const char* out,
                        int out_size, int mode);

// The lookup proper over a checked dictionary: `word` is `word_length` bytes (it need
// not be NUL-terminated; a key matches only when it has exactly these bytes). Returns
// the number of matches or VTM_ERR_OUTPUT_TOO_LONG. Callers that hold a NUL-terminated
// word may simply call the exported vtm_client_dict_lookup instead.
int LookupDictEntries(const VtmClientDictRec& dict, const char* word, std::size_t word_length,
                      const char* tag, char* out, int out_size, int mode);

}  // namespace vtm
