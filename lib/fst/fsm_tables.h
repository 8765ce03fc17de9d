// Resolution and checking of the table area of a freshly read transducer.
#pragma once

#include "fst/fsm.h"

namespace vtm {

// Sets the views, the char map, the subnets and the named tables of `fsm` from its
// header and table area, checking every offset and count against the loaded bytes.
// Returns 0, VTM_ERR_BAD_FILE or VTM_ERR_NO_MEMORY.
int ResolveTables(VtmFsmRec* fsm);

// The counted u16 array at table offset `offset` (element count in the word before
// it); false when the count word or the array is not wholly inside the table area.
bool CountedArray(const VtmFsmRec* fsm, uint32_t offset, U16View* out);

// The copyright record: length byte and text, or nullptr when the file has none.
const uint8_t* CopyrightRecord(const VtmFsmRec* fsm);

}  // namespace vtm
