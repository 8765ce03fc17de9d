// The server library's instance handle, set by the program that loads it.
#include "corvane.h"

CORVANE_API void* HInstance = nullptr;  // C linkage from the declaration in corvane.h
