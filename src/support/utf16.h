// UTF-16 text as registry data and account files hold it.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

enum class ByteOrder { LittleEndian, BigEndian };

// The code units of `bytes`, two bytes each in `order`. An odd last byte is dropped.
std::u16string Utf16Units(std::string_view bytes, ByteOrder order);

// The bytes of `units`, two each, low byte first.
std::string Utf16LeBytes(std::u16string_view units);

// The UTF-8 text of `units`: a high surrogate followed by a low one gives one character, any
// other surrogate gives U+FFFD. Zero units are kept as NUL characters. Never fails.
std::string Utf16ToUtf8(std::u16string_view units);

// Appends the UTF-16 units of one code point (at most U+10FFFF, no surrogates) to `out`.
void AppendUtf16(std::u16string& out, char32_t code_point);

// True for U+D800 to U+DBFF and U+DC00 to U+DFFF respectively.
inline bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
inline bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}
inline char32_t JoinSurrogates(char32_t high, char32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

}  // namespace quillet
