// The conversion between the program's texts (UTF-8) and bytes of the ANSI code page, which
// is Windows-1252 here: one byte per character.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// One byte per character of `utf8`; a character that Windows-1252 cannot show becomes "?", and
// so does each byte that is not part of well-formed UTF-8.
std::string Utf8ToAnsi(std::string_view utf8);

// The UTF-8 text of Windows-1252 bytes. The five bytes that Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) give the control characters of the same number, as Windows
// does. Never fails.
std::string AnsiToUtf8(std::string_view bytes);

// Appends the UTF-8 form of one code point (at most U+10FFFF, no surrogates) to `out`.
void AppendUtf8(std::string& out, char32_t code_point);

}  // namespace quillet
