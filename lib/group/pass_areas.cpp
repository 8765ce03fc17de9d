// Sizes and growth of a grouping pass's work areas (see pass_areas.h).
#include "group/pass_areas.h"

#include <algorithm>

namespace vtm {
namespace {

// Growth stops here (or at a multiple of a long sentence's count) with
// VTM_ERR_NO_MEMORY rather than doubling until the machine's memory is gone.
constexpr uint64_t kMaxCodedBytes = 64u << 20;
constexpr uint64_t kMaxEntries = 1u << 20;

}  // namespace

bool PassAreas::Start(uint32_t count) {
  count_ = count;
  max_coded_ = std::max<uint64_t>(kMaxCodedBytes, uint64_t{12} * count);
  max_entries_ = std::max<uint64_t>(kMaxEntries, uint64_t{4} * count);
  if (count > kFrameTokens) {
    heap_flags_ = static_cast<uint8_t*>(std::malloc(uint64_t{2} * count));
    if (heap_flags_ == nullptr) return false;
  }
  if (uint64_t{count} / 4 + uint64_t{2} * count > coded_size_) {
    coded_grown_ = true;
    return SetCoded(uint64_t{3} * count);
  }
  return true;
}

bool PassAreas::Grow() {
  uint64_t bytes = coded_grown_ ? uint64_t{2} * coded_size_ : uint64_t{3} * count_;
  uint64_t entries = entries_grown_ ? uint64_t{2} * entries_ : uint64_t{count_};
  if (bytes <= coded_size_) bytes = uint64_t{2} * coded_size_;
  if (entries <= entries_) entries = uint64_t{2} * entries_;
  coded_grown_ = entries_grown_ = true;
  if (bytes > max_coded_ || entries > max_entries_) return false;
  return SetCoded(bytes) && SetEntries(entries);
}

bool PassAreas::SetCoded(uint64_t size) {
  if (size > sizeof frame_coded_) {
    auto* grown = static_cast<uint8_t*>(std::realloc(heap_coded_, size));
    if (grown == nullptr) return false;
    heap_coded_ = grown;
  }
  coded_size_ = static_cast<uint32_t>(size);
  return true;
}

bool PassAreas::SetEntries(uint64_t entries) {
  if (entries > kFrameTokens) {
    auto* grown = static_cast<VtmBacktrackEntry*>(
        std::realloc(heap_stack_, entries * sizeof(VtmBacktrackEntry)));
    if (grown == nullptr) return false;
    heap_stack_ = grown;
  }
  entries_ = static_cast<uint32_t>(entries);
  return true;
}

}  // namespace vtm
