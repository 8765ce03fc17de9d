// Conversion of the 92 big-endian header bytes into a VtmHeaderRec in host order.
#pragma once

#include <cstdint>

#include "fst/fsm.h"

namespace vtm {

// Fills `out` from the 92 file bytes at `bytes`.
void ParseHeader(const uint8_t* bytes, VtmHeaderRec* out);
// Writes `header` back as 92 big-endian file bytes.
void SerializeHeader(const VtmHeaderRec& header, uint8_t* bytes);

}  // namespace vtm
