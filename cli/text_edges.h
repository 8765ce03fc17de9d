// The command line speaks UTF-8; transducers and the library speak Windows code page 1252.
// These conversions run at the edges: on every input line before lookup and on every
// result before printing.
#pragma once

#include <string>
#include <string_view>

namespace vtm::cli {

enum class EdgeStatus { kOk, kInvalidUtf8, kNotInCodePage };

// True when every byte is below 0x80: such text is the same in UTF-8 and in cp1252.
bool IsAscii(std::string_view text);

// Converts UTF-8 `text` to cp1252 into *out (replacing its contents). On failure returns
// the reason and the byte offset of the offending sequence in *where.
EdgeStatus Utf8ToCodePage(std::string_view text, std::string* out, std::size_t* where);

// Appends the UTF-8 form of cp1252 `bytes` to *out.
void AppendCodePageAsUtf8(std::string_view bytes, std::string* out);
// Writes the UTF-8 form of cp1252 `bytes` at `out`, which has room for 3 bytes per
// byte; returns the end of what was written.
char* WriteCodePageAsUtf8(std::string_view bytes, char* out);

// Appends `text` to *out with every malformed UTF-8 sequence replaced by U+FFFD, so that
// a rejected input line can still be echoed inside JSON.
void AppendSanitizedUtf8(std::string_view text, std::string* out);

// Appends `utf8` as a JSON string literal (quoted and escaped).
void AppendJsonString(std::string_view utf8, std::string* out);

}  // namespace vtm::cli
