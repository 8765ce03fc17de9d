// The lookup buffer: one heap block of a fixed header and three areas (coded input,
// coded output, stack), each area's size n rounded to (n + 8) & ~7 so that every area
// starts on an 8-byte boundary and has at least one spare byte. Partial-word expansion
// keeps its continuation in the header between calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vtmrt.h"

struct VtmLookupBufferRec {
  // The suspended step of an expansion: label, flag_state, input_pos, length,
  // output_pos, location and the exception pair (aux_label, aux_location); kind marks a
  // buffer that holds a suspended expansion (expand.cpp).
  VtmBacktrackEntry saved;
  VtmBacktrackEntry* stack;  // start of the stack area
  uint32_t stack_entries;
  uint32_t saved_top;     // stack top, in entries from the stack area's start
  uint32_t result_count;  // results in the client buffer after the last expansion call
  uint32_t cursor;        // bytes of the client buffer used by the last expansion call
  uint8_t* coded_input;
  uint32_t coded_input_size;
  uint8_t* coded_output;
  uint32_t coded_output_size;
  uint32_t client_data;  // stored, never interpreted
  uint16_t open_char;    // '[' at creation
  uint16_t close_char;   // ']' at creation
};
static_assert(offsetof(VtmLookupBufferRec, stack) >= 28, "saved step comes first");
static_assert(sizeof(void*) != 4 || sizeof(VtmLookupBufferRec) == 72,
              "the 32-bit header is 72 bytes (80 with its rounding)");

namespace vtm {

// Size of an area of n bytes inside the buffer.
constexpr uint64_t LookupBufferArea(uint64_t n) {
  return (n + 8) & ~uint64_t{7};
}

}  // namespace vtm
