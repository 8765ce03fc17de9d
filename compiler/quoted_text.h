// Input text as it may appear in a compiler message: control bytes, DEL, backslash and
// bytes that are not part of well-formed UTF-8 become \xNN (a damaged or binary input
// file must not send terminal controls), and the text is cut after 64 bytes with "...".
// Tested in tests/lib/compiler_reader_test.cpp.
#pragma once

#include <string>
#include <string_view>

namespace vtm::compiler {

std::string QuotedText(std::string_view text);

}  // namespace vtm::compiler
