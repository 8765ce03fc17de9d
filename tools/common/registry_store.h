// Instance registry store: the per-instance settings of the server, kept as named values under
// the key SOFTWARE\Meridane\CorvaneServer\<n> (n the instance number in decimal).
//
// Every operation walks the key path itself and creates the product key
// SOFTWARE\Meridane\CorvaneServer on the way, the get operations included (unless the store may
// be read but not written). A set that fails prints why on stderr, naming the store; get
// operations fold every failure into their 0 result.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

// Value types, numbered as the Windows registry numbers them.
inline constexpr int kValueTypeString = 1;  // REG_SZ: text and its terminating NUL
inline constexpr int kValueTypeNumber = 4;  // REG_DWORD: 32-bit number

// Stores `text` as a string value (its length plus the terminating NUL).
void SetStringValue(int instance, const char* name, const char* text);

// Stores `value` as a 32-bit number value.
void SetNumberValue(int instance, const char* name, int32_t value);

// Returns 1 with the text in `buffer` when the value exists, is a string and fits `size` bytes
// (terminator included); otherwise returns 0 with `buffer` holding the empty string.
int GetStringValue(int instance, const char* name, char* buffer, size_t size);

// Returns 1 with the number in `*out` when the value exists and is a 32-bit number; otherwise
// returns 0 with `*out` set to -1.
int GetNumberValue(int instance, const char* name, int32_t* out);

}  // namespace corvane
