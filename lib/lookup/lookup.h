// Word lookup shared by the exported entry points and by callers inside the library
// (token chunks, fuzz targets).
#pragma once

#include <cstdint>

#include "vtmrt.h"

namespace vtm {

// vtm_lookup_with_transduction. `step_limit` bounds the walk's steps over all attempts
// (0: the default bound for the network and the input; fuzz targets set a small one).
int LookupWithTransduction(const char* input, int input_length, char* output, int output_size,
                           int mode, VtmFsm fsm, VtmClientDict dict, uint64_t step_limit = 0);

}  // namespace vtm
