// Conversion of UTF-8 text to Windows code page 1252, the 8-bit character set of the
// transducer files this compiler writes, and back (for tests and diagnostics).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vtm::compiler {

// Decodes one UTF-8 sequence at text[*pos], advancing *pos. Returns the code point, or
// nullopt for malformed UTF-8 (overlong forms, surrogates, truncated sequences).
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t* pos);

// The cp1252 byte of a code point, or nullopt when cp1252 has no such character.
// Code points 0x80-0x9F that cp1252 assigns to other characters are not mappable.
std::optional<unsigned char> ToCp1252(char32_t code_point);

// The code point of a cp1252 byte (undefined bytes 0x81, 0x8D, 0x8F, 0x90, 0x9D map to
// the C1 control of the same value).
char32_t FromCp1252(unsigned char byte);

// Whole-string conversions. Utf8ToCp1252 returns nullopt when the text is not valid
// UTF-8 or holds a character outside cp1252.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view bytes);

}  // namespace vtm::compiler
