// Reading numbers out of texts the way the settings file and the port box hold them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillet {

// The value of the longest leading part of `text` that reads as a decimal number: an optional
// sign, digits with an optional decimal point, and an optional exponent ("E" or "e", optional
// sign, digits). Blanks, tabs and line feeds are skipped wherever they stand, so " 2 5" reads as
// 25. Gives 0 when no such part exists ("x25"). A number too large for a double gives an
// infinity of its sign. Never fails.
double ReadLeadingNumber(std::string_view text);

// `value` rounded to the nearest whole number, a fraction of exactly one half going to the even
// neighbour (25.5 gives 26, 24.5 gives 24). Empty when the result does not fit a signed 32-bit
// integer, or `value` is not a number.
std::optional<int32_t> RoundToInt32(double value);

// ReadLeadingNumber then RoundToInt32: "465 (SSL)" gives 465, "x25" gives 0, "1e10" is empty.
std::optional<int32_t> ReadWholeNumber(std::string_view text);

}  // namespace quillet
