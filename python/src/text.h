// Text at the edge between Python and the library: Python str (Unicode) to the 8-bit
// Windows-1252 bytes the library works in, and back. Tested by python/tests/test_text.py.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

namespace vtm::py {

// Converts `text` (must be a str) to cp1252 into *out. Raises ArgumentTypeError for a
// non-str (`what` names the argument), EncodingError for a character cp1252 cannot hold or
// a lone surrogate, and TextError for a NUL character: the library reads texts up to
// their first NUL, so a NUL would silently cut the text short. Needs the GIL.
void ToCodePage(pybind11::handle text, const char* what, std::string* out);

// The file system bytes of a path argument (str, bytes or os.PathLike), its text in
// *shown. Raises ArgumentTypeError for another type (`what` names the argument) and
// ArgumentError for a NUL inside. Needs the GIL.
std::string FilePath(pybind11::handle path, const char* what, std::string* shown);

// A new str from cp1252 bytes. Needs the GIL.
pybind11::str FromCodePage(std::string_view bytes);

}  // namespace vtm::py
