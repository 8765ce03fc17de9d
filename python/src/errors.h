// Raising vtmrt exceptions (python/vtmrt/errors.py) from the extension module: a library
// error code becomes an instance of its family's class with the library's message.
// Tested by python/tests/test_errors.py and the error cases of the other test files.
#pragma once

#include <string>

namespace vtm::py {

// Names of classes in vtmrt.errors for failures found at the Python edge.
inline constexpr const char* kArgumentTypeError = "ArgumentTypeError";
inline constexpr const char* kClosedError = "ClosedError";
inline constexpr const char* kEncodingError = "EncodingError";
inline constexpr const char* kTextError = "TextError";
inline constexpr const char* kCapacityError = "CapacityError";
inline constexpr const char* kArgumentError = "ArgumentError";

// The library's message for a code.
std::string LibraryMessage(int code);

// Sets the Python error for `code` and throws pybind11::error_already_set. `kind` (one of
// the names above) overrides the class chosen by the code. Needs the GIL.
[[noreturn]] void Raise(int code, const std::string& detail = "", const char* kind = nullptr);

}  // namespace vtm::py
