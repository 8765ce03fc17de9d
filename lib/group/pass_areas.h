// Work areas of one grouping pass: the coded area (coded tags, then the walk's work
// buffer and, in a sub-pass, its client buffer), the walk's backtracking stack and the
// skip and continuation flags of the pass's tokens. They start in the object's own
// storage (the caller's frame) and move to the heap only when a size outgrows it, so a
// pass over up to 256 tokens that needs no more than the starting sizes, or their
// first growth, allocates nothing. Tested in tests/lib/group_pass_test.cpp.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "vtmrt.h"

namespace vtm {

class PassAreas {
 public:
  static constexpr uint32_t kStartCodedBytes = 512;
  static constexpr uint32_t kStartEntries = 128;
  static constexpr uint32_t kFrameTokens = 256;

  PassAreas() = default;
  PassAreas(const PassAreas&) = delete;
  PassAreas& operator=(const PassAreas&) = delete;
  ~PassAreas() {
    std::free(heap_coded_);
    std::free(heap_stack_);
    std::free(heap_flags_);
  }

  // Sets the sizes for a pass over `count` tokens: the starting sizes, with the coded
  // area grown at once when count / 4 + 2 * count exceeds it. False when memory fails.
  bool Start(uint32_t count);
  // Grows both areas after a try ran out of room: 3 * count bytes and count entries at
  // the first growth, double after. A growth never shrinks an area (a short sentence's
  // 3 * count is below the starting size). False when memory fails or the areas would
  // pass their bounds (a transducer whose walk never fits).
  bool Grow();

  uint8_t* coded() { return heap_coded_ != nullptr ? heap_coded_ : frame_coded_; }
  uint32_t coded_size() const { return coded_size_; }
  VtmBacktrackEntry* stack() { return heap_stack_ != nullptr ? heap_stack_ : frame_stack_; }
  uint32_t entries() const { return entries_; }
  uint8_t* skip() { return flags(); }
  uint8_t* continuation() { return flags() + count_; }

 private:
  uint8_t* flags() { return heap_flags_ != nullptr ? heap_flags_ : frame_flags_; }
  bool SetCoded(uint64_t size);
  bool SetEntries(uint64_t entries);

  uint32_t count_ = 0;
  uint32_t coded_size_ = kStartCodedBytes;
  uint32_t entries_ = kStartEntries;
  bool coded_grown_ = false;
  bool entries_grown_ = false;
  uint64_t max_coded_ = 0;
  uint64_t max_entries_ = 0;
  uint8_t* heap_coded_ = nullptr;
  VtmBacktrackEntry* heap_stack_ = nullptr;
  uint8_t* heap_flags_ = nullptr;
  uint8_t frame_coded_[3 * kFrameTokens];
  VtmBacktrackEntry frame_stack_[kFrameTokens];
  uint8_t frame_flags_[2 * kFrameTokens];
};

}  // namespace vtm
