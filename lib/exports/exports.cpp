// Anchor of the shared library: the exported functions live in the static core, which
// is linked whole; this unit pins the layouts that callers see.
#include "vtmrt.h"

static_assert(sizeof(int) == 4, "the interface assumes 32-bit int");
