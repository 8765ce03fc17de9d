// Tagger buffers: every array that tagging one sentence needs, sized once from a tagger
// and the caller's limits, so that tagging allocates nothing. vtmMakeTaggerBuffer adds a
// dictionary of the title-case exception words. Tested in tests/lib/tagger_buffer_test.cpp.
#include <cstdlib>

#include "frame/frame.h"
#include "tagger/tagger.h"

namespace vtm {
namespace {

constexpr int32_t kMaxTokens = 100000;
constexpr int32_t kMaxChars = 1000000;

// Words that stay in small letters in a title ("War and Peace"), and their value.
constexpr const char* kTitleExceptions[] = {"a",  "and", "as", "at", "by", "for", "from", "in",
                                            "is", "n't", "of", "on", "or", "the", "to",   "with"};
constexpr const char* kTitleUncap = "[title-uncap]";

void* Calloc(uint64_t count, uint64_t size) {
  if (size != 0 && count > SIZE_MAX / 2 / size) return nullptr;
  return std::calloc(count == 0 ? 1 : static_cast<std::size_t>(count),
                     static_cast<std::size_t>(size));
}

// L = floor(log2(max_tokens)): how often it can be halved while above 1.
int32_t HalvingCount(int32_t n) {
  int32_t l = 0;
  while (n > 1) {
    n /= 2;
    ++l;
  }
  return l;
}

void FreeArrays(VtmTaggerBufferRec* b) {
  std::free(b->blank_flags);
  std::free(b->mwt_flags);
  std::free(b->text_buffer);
  std::free(b->tag_store);
  std::free(b->tag_rows);
  std::free(b->tag_row_counts);
  std::free(b->coded_buffer);
  std::free(b->guess_tags);
  std::free(b->token_classes);
  std::free(b->token_tags);
  std::free(b->score_prev);  // score_next is the second half of this allocation
  std::free(b->back_store);
  std::free(b->back_rows);
  TokenCacheFree(&b->token_cache);
  NearestMemoFree(&b->nearest_memo);
  std::free(b);
}

}  // namespace

VtmTaggerBuffer MakeTaggerBuffer(int max_tokens, int max_chars, VtmTagger tagger,
                                 uint32_t cache_slots) {
  if (max_tokens < 0 || max_chars < 0) {
    return static_cast<VtmTaggerBuffer>(ErrorObject(VTM_ERR_INVALID_NUMBER));
  }
  if (tagger == nullptr) return static_cast<VtmTaggerBuffer>(ErrorObject(VTM_ERR_NULL_OBJECT));
  if (vtm::IsErrorObject(tagger)) return reinterpret_cast<VtmTaggerBuffer>(tagger);
  if (max_tokens > vtm::kMaxTokens || max_chars > vtm::kMaxChars) {
    return static_cast<VtmTaggerBuffer>(ErrorObject(VTM_ERR_NO_MEMORY));
  }
  auto* b = static_cast<VtmTaggerBufferRec*>(Calloc(1, sizeof(VtmTaggerBufferRec)));
  if (b == nullptr) return static_cast<VtmTaggerBuffer>(ErrorObject(VTM_ERR_NO_MEMORY));
  const uint64_t tokens = static_cast<uint64_t>(max_tokens);
  const uint64_t class_size = tagger->max_class_size;
  b->tag_count = tagger->tag_count;
  b->max_tokens = max_tokens;
  const uint64_t text_size =
      static_cast<uint64_t>(max_chars) * static_cast<uint64_t>(vtm::HalvingCount(max_tokens) + 4);
  b->text_size = static_cast<int32_t>(text_size);
  b->coded_size = b->text_size;
  const uint64_t guess_capacity = 2 * class_size;
  b->guess_capacity = static_cast<int32_t>(guess_capacity);
  b->mwt_symbol = vtm::MultiwordSymbol(tagger->clg);

  const uint64_t row = b->tag_count < 0 ? 0 : static_cast<uint64_t>(b->tag_count);
  b->blank_flags = static_cast<uint8_t*>(Calloc(tokens, 1));
  b->mwt_flags = static_cast<uint8_t*>(Calloc(tokens, 1));
  b->text_buffer = static_cast<char*>(Calloc(text_size, 1));
  b->tag_store = static_cast<uint16_t*>(Calloc(row * tokens, sizeof(uint16_t)));
  b->tag_rows = static_cast<uint16_t**>(Calloc(tokens + 1, sizeof(uint16_t*)));
  b->tag_row_counts = static_cast<int32_t*>(Calloc(tokens + 1, sizeof(int32_t)));
  b->coded_buffer = static_cast<uint8_t*>(Calloc(text_size, 1));
  b->guess_tags = static_cast<uint16_t*>(Calloc(guess_capacity, sizeof(uint16_t)));
  b->token_classes = static_cast<uint16_t*>(Calloc(tokens, sizeof(uint16_t)));
  b->token_tags = static_cast<uint16_t*>(Calloc(tokens, sizeof(uint16_t)));
  b->score_prev = static_cast<int32_t*>(Calloc(2 * class_size, sizeof(int32_t)));
  b->back_store = static_cast<uint8_t*>(Calloc(tokens * class_size, 1));
  b->back_rows = static_cast<uint8_t**>(Calloc(tokens, sizeof(uint8_t*)));
  // Sizes that do not fit the 32-bit fields are as impossible as a refused allocation.
  if (b->blank_flags == nullptr || b->mwt_flags == nullptr || b->text_buffer == nullptr ||
      b->tag_store == nullptr || b->tag_rows == nullptr || b->tag_row_counts == nullptr ||
      b->coded_buffer == nullptr || b->guess_tags == nullptr || b->token_classes == nullptr ||
      b->token_tags == nullptr || b->score_prev == nullptr || b->back_store == nullptr ||
      b->back_rows == nullptr || guess_capacity > INT32_MAX ||
      !TokenCacheInit(&b->token_cache, cache_slots) ||
      !NearestMemoInit(&b->nearest_memo, cache_slots == 0 ? 0 : cache_slots / 16 + 1)) {
    FreeArrays(b);
    return static_cast<VtmTaggerBuffer>(ErrorObject(VTM_ERR_NO_MEMORY));
  }
  b->score_next = b->score_prev + class_size;
  for (uint64_t n = 1; n <= tokens; ++n) b->tag_rows[n] = b->tag_store + (n - 1) * row;
  for (uint64_t t = 0; t < tokens; ++t) b->back_rows[t] = b->back_store + t * class_size;
  b->title_dict = nullptr;
  return b;
}

}  // namespace vtm

extern "C" VTMRT_API VtmTaggerBuffer vtm_make_tagger_buffer(int max_tokens, int max_chars,
                                                            VtmTagger tagger) {
  return vtm::MakeTaggerBuffer(max_tokens, max_chars, tagger, vtm::kTokenCacheSlots);
}

extern "C" VTMRT_API void vtm_free_tagger_buffer(VtmTaggerBuffer buffer) {
  if (!vtm::IsRealObject(buffer)) return;
  vtm::FreeArrays(buffer);
}

namespace vtm {

VtmTaggerBuffer MakeTitledTaggerBuffer(int max_tokens, int max_chars, VtmTagger tagger,
                                       uint32_t cache_slots) {
  VtmClientDict dict = vtm_make_client_dict(0, 0);
  if (!IsRealObject(dict)) {
    return static_cast<VtmTaggerBuffer>(ErrorObject(VTM_ERR_NO_MEMORY));
  }
  if (tagger == nullptr || IsErrorObject(tagger)) {
    vtm_free_client_dict(dict);
    if (tagger == nullptr) {
      return static_cast<VtmTaggerBuffer>(ErrorObject(VTM_ERR_NULL_OBJECT));
    }
    return reinterpret_cast<VtmTaggerBuffer>(tagger);
  }
  for (const char* word : kTitleExceptions) {
    if (vtm_add_entry(word, kTitleUncap, 0, dict) != VTM_OK) {
      vtm_free_client_dict(dict);
      return static_cast<VtmTaggerBuffer>(ErrorObject(VTM_ERR_NO_MEMORY));
    }
  }
  VtmTaggerBuffer buffer = MakeTaggerBuffer(max_tokens, max_chars, tagger, cache_slots);
  if (!IsRealObject(buffer)) {
    vtm_free_client_dict(dict);
    return buffer;
  }
  buffer->title_dict = dict;
  return buffer;
}

}  // namespace vtm

extern "C" VTMRT_API VtmTaggerBuffer vtmMakeTaggerBuffer(int max_tokens, int max_chars,
                                                         VtmTagger tagger) {
  return vtm::MakeTitledTaggerBuffer(max_tokens, max_chars, tagger, vtm::kTokenCacheSlots);
}

extern "C" VTMRT_API void vtmFreeTaggerBuffer(VtmTaggerBuffer buffer) {
  if (!vtm::IsRealObject(buffer)) return;
  vtm_free_client_dict(buffer->title_dict);
  vtm_free_tagger_buffer(buffer);
}
