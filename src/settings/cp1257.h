#pragma once

#include <string>
#include <string_view>

namespace ziv {

// Windows-1257 (Baltic) code page, the encoding of the texts in the
// settings file. The label edits hold UTF-8; the file holds these bytes.
//
// The twelve bytes the code page leaves undefined (0x81, 0x83, ..., 0xA1,
// 0xA5) decode to the code point of the same value, as Windows itself
// does, so every byte sequence decodes and encodes back to the very same
// bytes: a label edited by hand in the file is never corrupted by a load
// and a save.

// Decodes Windows-1257 bytes to UTF-8. Never fails.
std::string Cp1257ToUtf8(std::string_view bytes);

// Encodes UTF-8 to Windows-1257. A character the code page cannot hold, or
// a malformed UTF-8 sequence, becomes "?"; check first with
// IsCp1257Representable where nothing may be lost.
std::string Utf8ToCp1257(std::string_view utf8);

// Whether the code page holds the character.
bool IsCp1257Representable(char32_t ch);

// Whether the text is well-formed UTF-8 and every character of it is
// representable, so that Utf8ToCp1257 keeps it whole.
bool IsCp1257Representable(std::string_view utf8);

}  // namespace ziv
