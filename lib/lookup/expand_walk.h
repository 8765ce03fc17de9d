// The expansion walk: the words of a subnet that carry a coded fragment after exactly
// `skip` symbols, within length limits, decoded into the client buffer one after another.
// It runs on the shared walk core (walk_core.h) as its one-sided mode. When a result does
// not fit the client buffer the walk saves its current step (and the stack top) here, so
// that a later call, given the same stack and work buffer, resumes exactly after it.
#pragma once

#include <cstdint>

#include "lookup/walk.h"
#include "lookup/walk_accept.h"

namespace vtm {

struct ExpandState {
  uint32_t skip = 0;        // symbols enumerated freely before the fragment is sought
  uint32_t min_length = 0;  // shorter words are not accepted
  uint32_t max_length = 0;  // no word reaches this length (nothing longer is explored)
  bool resume = false;      // start from `step` and `top` instead of the subnet's start
  // The suspended step (label, aux_label, flag_state, input_pos, length, output_pos,
  // location, aux_location; kind unused) and the stack top (stack[top..N) in use).
  VtmBacktrackEntry step{};
  uint32_t top = 0;
  // In: client bytes in use and results in them before the walk; out: after it.
  uint32_t fill = 0;
  int count = 0;
};

// Runs the expansion walk with args.expand set. Returns the number of results in the
// client buffer when the walk is complete; VTM_ERR_MORE_RESULTS (some results delivered)
// or VTM_ERR_CLIENT_BUFFER_TOO_SMALL (none) when the next result does not fit, with the
// step saved and its codes, NUL-terminated, left in the work buffer; or an error without
// a saved step: -13 (stack full), -23 (work buffer full), -1993 (unknown entry kind).
int ExpandWalk(const VtmFsmRec* fsm, const WalkArgs& args);

// vtmExpandByteStringPartialWord, with a bound on the steps between two results
// (WalkArgs::step_limit; 0: the default).
int ExpandPartialWord(const char* text, char* output, int output_size, VtmLookupBuffer buffer,
                      int skip, int min_length, int max_length, bool continuing, VtmFsm fsm,
                      uint64_t step_limit = 0);

// Accept of the expansion walk: decodes work[0..o) at the client fill, leaving the client
// buffer's last byte free. Returns kContinueWalk, or the code that stops the walk.
int AcceptExpand(AcceptSink& sink, const uint8_t* work, uint32_t o);

}  // namespace vtm
