// Word lookup: vtm_lookup_with_transduction and vtmLookupByteString. Codes the input,
// chooses the subnet by the mode's function, and runs the lookup or inverse walk with
// scratch space (stack entries and coded bytes) that starts in the call's frame and is
// doubled on the heap whenever the coder or the walk runs out of room.
#include "lookup/lookup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "frame/frame.h"
#include "lookup/coding.h"
#include "lookup/walk.h"

namespace vtm {
namespace {

struct ModeRow {
  int function;             // subnet function number
  int fallback_function;    // used when `function` is not offered; 0: none
  bool inverse;             // inverse walk instead of the lookup walk
  int output_mode;          // walk output mode
  int dict_mode;            // client dictionary mode, 0: not consulted
  bool tags;                // "[tag]" names in the input
  bool eos;                 // end-of-word code appended
  int decode_option;        // handed to the decoder (no effect)
  bool foreign_char_fails;  // a character outside the alphabet is an error, not 0 results
};

bool ModeRowOf(int mode, ModeRow* row) {
  switch (mode) {
    case VTM_MODE_ANALYZE:
      *row = {kFunctionAnalysis,
              0,
              false,
              kOutAll,
              VTM_DICT_FORM | VTM_DICT_TAGS,
              true,
              true,
              1,
              false};
      return true;
    case VTM_MODE_STEM:
      *row = {kFunctionStemming, 0, false, kOutAll, VTM_DICT_FORM, false, true, 0, false};
      return true;
    case VTM_MODE_STEM_FIRST:
      *row = {kFunctionStemming, 0, false, kOutFirst, 0, false, true, 0, false};
      return true;
    case VTM_MODE_STEM_SHORTEST:
      *row = {kFunctionStemming, 0, false, kOutShortest, 0, false, true, 0, false};
      return true;
    case VTM_MODE_GENERATE:
      *row = {kFunctionGeneration, kFunctionAnalysis, true, kOutAll, 0, true, false, 1, false};
      return true;
    case VTM_MODE_STEM_INVERSE:
      *row = {kFunctionStemming, 0, true, kOutAll, 0, false, false, 0, false};
      return true;
    case VTM_MODE_TOKENIZE:
      *row = {kFunctionTokenizing, 0, false, kOutFirst, 0, false, true, 0, true};
      return true;
    default:
      return false;
  }
}

// Scratch held in the call's frame, and the bounds of its growth. A transducer whose
// input side has an epsilon cycle makes every attempt run out of room; growth stops at
// these bounds (or at four times a long input's starting size) with VTM_ERR_NO_MEMORY
// instead of doubling until the machine's memory is gone.
constexpr uint32_t kFrameEntries = 100;
constexpr uint32_t kFrameBytes = 256;
constexpr uint64_t kMaxEntries = 1048576;
constexpr uint64_t kMaxCodedBytes = 64u << 20;
constexpr int kLongInput = 128;

class Scratch {
 public:
  Scratch() = default;
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() { std::free(heap_); }

  // Heap scratch of one entry and three coded bytes per input byte.
  bool StartOnHeap(uint32_t input_length) {
    max_entries_ = std::max<uint64_t>(kMaxEntries, uint64_t{4} * input_length);
    max_bytes_ = std::max<uint64_t>(kMaxCodedBytes, uint64_t{12} * input_length);
    return Allocate(input_length, uint64_t{3} * input_length);
  }
  // Doubles both; false when the growth bound is reached or the heap refuses.
  bool Grow() {
    const uint64_t entries = uint64_t{2} * entries_;
    const uint64_t bytes = uint64_t{2} * bytes_;
    if (entries > max_entries_ || bytes > max_bytes_) return false;
    return Allocate(entries, bytes);
  }

  VtmBacktrackEntry* stack() { return heap_ != nullptr ? heap_stack_ : frame_stack_; }
  uint8_t* coded() { return heap_ != nullptr ? heap_coded_ : frame_coded_; }
  uint32_t entries() const { return entries_; }
  uint32_t bytes() const { return bytes_; }

 private:
  bool Allocate(uint64_t entries, uint64_t bytes) {
    std::free(heap_);
    heap_ = nullptr;
    const uint64_t total = entries * sizeof(VtmBacktrackEntry) + bytes;
    if (total == 0 || total > SIZE_MAX) return false;
    heap_ = std::malloc(static_cast<std::size_t>(total));
    if (heap_ == nullptr) return false;
    heap_stack_ = static_cast<VtmBacktrackEntry*>(heap_);
    heap_coded_ = static_cast<uint8_t*>(heap_) + entries * sizeof(VtmBacktrackEntry);
    entries_ = static_cast<uint32_t>(entries);
    bytes_ = static_cast<uint32_t>(bytes);
    return true;
  }

  VtmBacktrackEntry frame_stack_[kFrameEntries];
  uint8_t frame_coded_[kFrameBytes];
  void* heap_ = nullptr;
  VtmBacktrackEntry* heap_stack_ = nullptr;
  uint8_t* heap_coded_ = nullptr;
  uint32_t entries_ = kFrameEntries;
  uint32_t bytes_ = kFrameBytes;
  uint64_t max_entries_ = kMaxEntries;
  uint64_t max_bytes_ = kMaxCodedBytes;
};

// Client dictionary first (modes 2 and 3): a non-zero answer is the call's answer.
int ConsultDictionary(const char* input, int input_length, char* output, int output_size,
                      int dict_mode, VtmClientDict dict) {
  if (input_length == kNulTerminated) {
    return vtm_client_dict_lookup(input, nullptr, output, output_size, dict_mode, 0, dict);
  }
  char* word = static_cast<char*>(std::malloc(static_cast<std::size_t>(input_length) + 1));
  if (word == nullptr) return VTM_ERR_NO_MEMORY;
  std::memcpy(word, input, static_cast<std::size_t>(input_length));
  word[input_length] = 0;
  const int r = vtm_client_dict_lookup(word, nullptr, output, output_size, dict_mode, 0, dict);
  std::free(word);
  return r;
}

}  // namespace

int LookupWithTransduction(const char* input, int input_length, char* output, int output_size,
                           int mode, VtmFsm fsm, VtmClientDict dict, uint64_t step_limit) {
  if (input == nullptr || output == nullptr || fsm == nullptr) return VTM_ERR_NULL_OBJECT;
  if (input_length < 0 || output_size < 0) return VTM_ERR_INVALID_NUMBER;
  if (int code = CheckObject(fsm); code != 0) return code;
  ModeRow row{};
  const bool known_mode = ModeRowOf(mode, &row);
  if (known_mode && row.dict_mode != 0 && dict != nullptr) {
    if (int code = CheckObject(dict); code != 0) return code;
    const int r = ConsultDictionary(input, input_length, output, output_size, row.dict_mode, dict);
    if (r != 0) return r;
  }
  Scratch scratch;
  if (input_length > kLongInput && input_length < kNulTerminated &&
      !scratch.StartOnHeap(static_cast<uint32_t>(input_length))) {
    return VTM_ERR_NO_MEMORY;
  }
  if (!known_mode) return VTM_ERR_INVALID_FUNCTION;

  CoderOptions options;
  options.tags = row.tags;
  options.eos = row.eos;
  uint64_t steps_spent = 0;  // one step bound for all attempts of this lookup
  for (;;) {
    uint8_t* coded = scratch.coded();
    const int m =
        EncodeText(input, input_length, coded, static_cast<int>(scratch.bytes()), options, fsm);
    int r = m;
    if (m >= 0) {
      int subnet = FsmFunctionSubnet(fsm, row.function);
      if (subnet == kNoSubnet && row.fallback_function != 0) {
        subnet = FsmFunctionSubnet(fsm, row.fallback_function);
      }
      if (subnet == kNoSubnet) return VTM_ERR_INVALID_FUNCTION;
      WalkArgs args;
      args.input = coded;
      args.input_codes = static_cast<uint32_t>(m);
      args.work = coded + m + 1;
      args.work_size = scratch.bytes() - static_cast<uint32_t>(m + 1);
      args.subnet = subnet;
      args.stack = scratch.stack();
      args.stack_entries = scratch.entries();
      args.client = output;
      args.client_size = static_cast<uint32_t>(output_size);
      args.output_mode = row.output_mode;
      args.decode_option = row.decode_option;
      args.step_limit = step_limit;
      args.steps_spent = &steps_spent;
      r = row.inverse ? InverseWalk(fsm, args) : LookupWalk(fsm, args);
      if (r != VTM_ERR_INTERNAL_BUFFER_TOO_SMALL && r != VTM_ERR_STACK_OVERFLOW) return r;
    } else if (m != VTM_ERR_OUTPUT_TOO_LONG) {
      if (m == VTM_ERR_CHAR_NOT_IN_ALPHABET && !row.foreign_char_fails) return 0;
      return m;
    }
    if (!scratch.Grow()) return VTM_ERR_NO_MEMORY;
  }
}

}  // namespace vtm

extern "C" VTMRT_API int vtm_lookup_with_transduction(const char* input, int input_length,
                                                      char* output, int output_size, int mode,
                                                      VtmFsm fsm, VtmClientDict dict,
                                                      int /*reserved*/) {
  return vtm::LookupWithTransduction(input, input_length, output, output_size, mode, fsm, dict);
}

extern "C" VTMRT_API int vtmLookupByteString(const char* input, char* output, int output_size,
                                             int mode, VtmFsm fsm) {
  return vtm::LookupWithTransduction(input, vtm::kNulTerminated, output, output_size, mode, fsm,
                                     nullptr);
}
