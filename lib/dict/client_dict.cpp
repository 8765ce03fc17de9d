// Client dictionary: making and freeing, adding entries, and looking keys up.
#include "dict/client_dict.h"

#include <cstdlib>
#include <cstring>

#include "frame/frame.h"

namespace vtm {
namespace {

// True when the NUL-terminated `key` has exactly the `length` bytes of `word`. Stops at
// the key's NUL so that it never reads past the key, whatever `word` holds.
bool KeyEquals(const char* key, const char* word, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (key[i] == '\0' || key[i] != word[i]) return false;
  }
  return key[length] == '\0';
}

// Appends `text` (length bytes) and a NUL at out[*used]. The text is written only when
// it fits whole, that is when more than `length` bytes are left.
bool AppendResult(const char* text, std::size_t length, char* out, std::size_t out_size,
                  std::size_t* used) {
  if (out_size - *used <= length) return false;
  std::memcpy(out + *used, text, length);
  out[*used + length] = '\0';
  *used += length + 1;
  return true;
}

}  // namespace

int CheckDictLookupArgs(const void* dict, const char* word, const char* tag, const char* out,
                        int out_size, int mode) {
  if (int code = CheckObject(dict)) return code;
  if (word == nullptr) return VTM_ERR_NULL_OBJECT;
  if ((mode & VTM_DICT_TAG_FILTER) && tag == nullptr) return VTM_ERR_NULL_OBJECT;
  if ((mode & (VTM_DICT_FORM | VTM_DICT_TAGS)) && out == nullptr) return VTM_ERR_NULL_OBJECT;
  if (out_size < 0 || mode < 0) return VTM_ERR_INVALID_NUMBER;
  return VTM_OK;
}

int LookupDictEntries(const VtmClientDictRec& dict, const char* word, std::size_t word_length,
                      const char* tag, char* out, int out_size, int mode) {
  const bool filter = (mode & VTM_DICT_TAG_FILTER) != 0;
  const bool form = (mode & VTM_DICT_FORM) != 0;
  const bool tags = (mode & VTM_DICT_TAGS) != 0;
  const std::size_t room = out_size > 0 ? static_cast<std::size_t>(out_size) : 0;
  std::size_t used = 0;
  int count = 0;
  const uint32_t bucket = DictBucket(word, word_length);
  for (const VtmDictEntry* e = dict.buckets[bucket]; e != nullptr; e = e->next) {
    if (!KeyEquals(e->key(), word, word_length)) continue;
    const char* value = e->value;
    const char* bracket = std::strchr(value, '[');
    const char* tag_part = bracket != nullptr ? bracket : "";
    if (filter && std::strcmp(tag_part, tag) != 0) continue;
    if (form || tags) {
      const char* text = form ? value : tag_part;
      std::size_t length = std::strlen(text);
      if (form && !tags && bracket != nullptr) length = static_cast<std::size_t>(bracket - value);
      if (!AppendResult(text, length, out, room, &used)) return VTM_ERR_OUTPUT_TOO_LONG;
    }
    ++count;
  }
  return count;
}

}  // namespace vtm

extern "C" {

VTMRT_API VtmClientDict vtm_make_client_dict(int /*first*/, int /*second*/) {
  auto* dict = static_cast<VtmClientDictRec*>(std::malloc(sizeof(VtmClientDictRec)));
  auto* buckets =
      static_cast<VtmDictEntry**>(std::calloc(vtm::kDictBucketCount, sizeof(VtmDictEntry*)));
  if (dict == nullptr || buckets == nullptr) {
    std::free(buckets);
    std::free(dict);
    return static_cast<VtmClientDict>(vtm::ErrorObject(VTM_ERR_NO_MEMORY));
  }
  dict->buckets = buckets;
  dict->bucket_count = vtm::kDictBucketCount;
  dict->entry_count = 0;
  return dict;
}

VTMRT_API void vtm_free_client_dict(VtmClientDict dict) {
  if (!vtm::IsRealObject(dict)) return;
  for (uint32_t b = 0; b < dict->bucket_count; ++b) {
    VtmDictEntry* e = dict->buckets[b];
    while (e != nullptr) {
      VtmDictEntry* next = e->next;
      std::free(e);
      e = next;
    }
  }
  std::free(dict->buckets);
  std::free(dict);
}

VTMRT_API int vtm_add_entry(const char* key, const char* value, int /*reserved*/,
                            VtmClientDict dict) {
  if (int code = vtm::CheckObject(dict)) return code;
  if (key == nullptr || value == nullptr) return VTM_ERR_NULL_OBJECT;
  const std::size_t key_length = std::strlen(key);
  const std::size_t value_length = std::strlen(value);
  const std::size_t header = sizeof(VtmDictEntry);
  if (key_length > SIZE_MAX / 2 - header || value_length > SIZE_MAX / 2 - 2) {
    return VTM_ERR_NO_MEMORY;
  }
  auto* entry = static_cast<VtmDictEntry*>(std::malloc(header + key_length + 1 + value_length + 1));
  if (entry == nullptr) return VTM_ERR_NO_MEMORY;
  char* key_copy = entry->key();
  std::memcpy(key_copy, key, key_length + 1);
  entry->value = key_copy + key_length + 1;
  std::memcpy(entry->value, value, value_length + 1);
  const uint32_t bucket = vtm::DictBucket(key, key_length);
  entry->next = dict->buckets[bucket];
  dict->buckets[bucket] = entry;
  ++dict->entry_count;
  return VTM_OK;
}

VTMRT_API int vtm_client_dict_lookup(const char* word, const char* tag, char* out, int out_size,
                                     int mode, int /*reserved*/, VtmClientDict dict) {
  if (int code = vtm::CheckDictLookupArgs(dict, word, tag, out, out_size, mode)) return code;
  return vtm::LookupDictEntries(*dict, word, std::strlen(word), tag, out, out_size, mode);
}

}  // extern "C"
