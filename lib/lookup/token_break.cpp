// vtmBreakByteStringToken: where the next token of a coded text (coded with its end-of-text
// code) can end, by the tokenizing subnet (function 28). The lookup walk runs in a token
// cut mode with partial acceptance: every accept cuts its path after the last unescaped
// tb_code, writes the token text and records the input index just after the token.
//
// The caller's output buffer is split in two: the last floor(size / 2) bytes hold the
// walk's work codes and the results are written from the start. Results are confined to
// the first half, so however many or long the tokens are, a result can never overwrite
// codes that the walk still reads; tokens that do not fit there give -12.
#include "frame/frame.h"
#include "lookup/walk.h"

namespace vtm {
namespace {

constexpr uint32_t kStackEntries = 100;

}  // namespace

int BreakToken(const char* coded_input, char* output, int output_size, int* offsets,
               int offsets_capacity, int all_flag, VtmFsm fsm) {
  if (int code = CheckObject(fsm); code != 0) return code;
  if (coded_input == nullptr || output == nullptr) return VTM_ERR_NULL_OBJECT;
  if (output_size < 0 || offsets_capacity < 0) return VTM_ERR_INVALID_NUMBER;
  if (offsets == nullptr && offsets_capacity > 0) return VTM_ERR_NULL_OBJECT;
  const int subnet = FsmFunctionSubnet(fsm, kFunctionTokenizing);
  if (subnet == kNoSubnet) return VTM_ERR_INVALID_FUNCTION;
  if (all_flag != 0 && all_flag != 1) return VTM_ERR_INVALID_FUNCTION;

  const uint32_t size = static_cast<uint32_t>(output_size);
  const uint32_t work_size = size / 2;
  VtmBacktrackEntry stack[kStackEntries];
  WalkArgs args;
  args.input = reinterpret_cast<const uint8_t*>(coded_input);
  args.work = reinterpret_cast<uint8_t*>(output) + (size - work_size);
  args.work_size = work_size;
  args.subnet = subnet;
  args.partial = true;
  args.stack = stack;
  args.stack_entries = kStackEntries;
  args.client = output;
  args.client_size = size - work_size;
  args.offsets = offsets;
  args.offsets_capacity = offsets_capacity;
  args.output_mode = all_flag == 1 ? kOutTokenAll : kOutTokenFirst;
  args.decode_option = 0;
  const int r = LookupWalk(fsm, args);
  if (r < 0) return r;
  if (r == 0) return VTM_ERR_UNRECOGNIZED_TOKEN;
  if (r == 1 && output[0] == 0) return 0;  // the one token found is empty
  return r;
}

}  // namespace vtm

extern "C" VTMRT_API int vtmBreakByteStringToken(const char* coded_input, char* output,
                                                 int output_size, int* offsets,
                                                 int offsets_capacity, int all_flag, VtmFsm fsm) {
  return vtm::BreakToken(coded_input, output, output_size, offsets, offsets_capacity, all_flag,
                         fsm);
}
