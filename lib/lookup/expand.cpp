// vtmExpandByteStringPartialWord: the words of the expansion subnet (function 1) that
// hold a fragment after a given number of symbols, within length limits, delivered in
// portions. Everything the walk needs between calls lives in the caller's lookup buffer:
// the coded fragment, the codes of the word being built, the stack, and the suspended
// step, which is stored in the buffer's saved fields after a result that did not fit.
#include "frame/frame.h"
#include "lookup/coding.h"
#include "lookup/expand_walk.h"
#include "lookup/lookup_buffer.h"

namespace vtm {
namespace {

// Kept in the saved step's kind field (which a suspended step does not otherwise use)
// while the buffer holds a suspended expansion; any other value means idle. A buffer is
// made with 0 there, so a continue call on a fresh or finished buffer finds nothing.
constexpr uint32_t kSuspended = 0x45585044u;  // "EXPD"

uint32_t NonNegative(int value) {
  return value < 0 ? 0u : static_cast<uint32_t>(value);
}

// A suspended step whose indices lie inside the buffer's areas (the buffer is the
// caller's memory: it is checked before anything is read through it).
bool SuspendedStepValid(const VtmLookupBufferRec* b) {
  const VtmBacktrackEntry& s = b->saved;
  return s.kind == kSuspended && s.output_pos < b->coded_output_size &&
         s.input_pos <= b->coded_input_size && b->saved_top >= 1 &&
         b->saved_top <= b->stack_entries;
}

}  // namespace

int ExpandPartialWord(const char* text, char* output, int output_size, VtmLookupBuffer buffer,
                      int skip, int min_length, int max_length, bool continuing, VtmFsm fsm,
                      uint64_t step_limit) {
  if (buffer == nullptr || output == nullptr) return VTM_ERR_NULL_OBJECT;
  if (int code = CheckObject(buffer); code != 0) return code;
  buffer->cursor = 0;
  buffer->result_count = 0;
  if (int code = CheckObject(fsm); code != 0) return code;
  if (output_size < 0) return VTM_ERR_INVALID_NUMBER;
  const int subnet = FsmFunctionSubnet(fsm, kFunctionExpansion);
  if (subnet == kNoSubnet) return VTM_ERR_INVALID_FUNCTION;

  ExpandState state;
  state.skip = NonNegative(skip);
  state.min_length = NonNegative(min_length);
  state.max_length = NonNegative(max_length);
  if (continuing) {
    // Nothing is waiting on a fresh, finished or failed buffer: the expansion is over.
    if (!SuspendedStepValid(buffer)) return 0;
    // The result that did not fit comes first; the output's last byte stays free.
    const int length = DecodeCodes(buffer->coded_output, buffer->saved.output_pos, output,
                                   output_size > 0 ? output_size - 1 : 0, 0, false, fsm);
    if (length == VTM_ERR_OUTPUT_TOO_LONG) return VTM_ERR_CLIENT_BUFFER_TOO_SMALL;
    if (length < 0) return length;
    state.resume = true;
    state.step = buffer->saved;
    state.top = buffer->saved_top;
    state.fill = static_cast<uint32_t>(length) + 1;
    state.count = 1;
    buffer->cursor = state.fill;
    buffer->result_count = 1;
  } else {
    if (text == nullptr) return VTM_ERR_NULL_OBJECT;
    buffer->saved.kind = 0;  // any suspended expansion is discarded
    const int m = EncodeText(text, kNulTerminated, buffer->coded_input,
                             static_cast<int>(buffer->coded_input_size), CoderOptions{}, fsm);
    if (m == VTM_ERR_OUTPUT_TOO_LONG) return VTM_ERR_CODED_INPUT_TOO_SMALL;
    if (m < 0) return m;
  }
  // From here the stack area is rewritten: the saved step is void until saved again.
  buffer->saved.kind = 0;

  WalkArgs args;
  args.input = buffer->coded_input;
  args.work = buffer->coded_output;
  args.work_size = buffer->coded_output_size;
  args.subnet = subnet;
  args.stack = buffer->stack;
  args.stack_entries = buffer->stack_entries;
  args.client = output;
  args.client_size = static_cast<uint32_t>(output_size);
  args.expand = &state;
  args.step_limit = step_limit;
  const int r = ExpandWalk(fsm, args);
  if (r >= 0 || r == VTM_ERR_MORE_RESULTS || r == VTM_ERR_CLIENT_BUFFER_TOO_SMALL) {
    buffer->cursor = state.fill;
    buffer->result_count = static_cast<uint32_t>(state.count);
  }
  if (r == VTM_ERR_MORE_RESULTS || r == VTM_ERR_CLIENT_BUFFER_TOO_SMALL) {
    buffer->saved = state.step;
    buffer->saved.kind = kSuspended;
    buffer->saved_top = state.top;
  }
  return r;
}

}  // namespace vtm

extern "C" VTMRT_API int vtmExpandByteStringPartialWord(const char* text, char* output,
                                                        int output_size, VtmLookupBuffer buffer,
                                                        int skip, int min_length, int max_length,
                                                        int continue_flag, int /*reserved*/,
                                                        VtmFsm fsm) {
  return vtm::ExpandPartialWord(text, output, output_size, buffer, skip, min_length, max_length,
                                continue_flag != 0, fsm);
}
