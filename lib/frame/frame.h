// Internal helpers of the library frame: error objects, argument checks and the
// bounded text copy that every text-returning function uses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vtmrt.h"

namespace vtm {

// The error block: 61 constant zero bytes. The error object of code n (-60..-1) is
// the address of byte -n. Byte 0 is never handed out.
inline constexpr int kErrorBlockSize = 61;
extern const unsigned char kErrorBlock[kErrorBlockSize];

inline bool IsErrorObject(const void* handle) {
  auto p = reinterpret_cast<std::uintptr_t>(handle);
  auto base = reinterpret_cast<std::uintptr_t>(kErrorBlock);
  return p >= base && p < base + kErrorBlockSize;
}

void* ErrorObject(int code);

// Code for an object argument: VTM_ERR_NULL_OBJECT for null, the error object's own
// code, or 0 for something taken to be a real object.
inline int CheckObject(const void* handle) {
  if (handle == nullptr) return VTM_ERR_NULL_OBJECT;
  if (IsErrorObject(handle)) {
    return -static_cast<int>(reinterpret_cast<std::uintptr_t>(handle) -
                             reinterpret_cast<std::uintptr_t>(kErrorBlock));
  }
  return 0;
}

// True for a handle that is neither null nor an error object.
inline bool IsRealObject(const void* handle) {
  return CheckObject(handle) == 0;
}

// Bounded text copy: with size 0 writes nothing and gives -12; a text shorter than
// size is written with its NUL (0); otherwise size-1 bytes and a NUL are written (-12).
int BoundedCopy(const char* text, std::size_t length, char* buffer, int size);

// The message text of an error code ("No error occurred." for codes >= 0).
const char* ErrorMessageText(int code);

}  // namespace vtm
