// Writing numbers as the order lines show them.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// A price as the system's general number text: at most 15 significant digits, trailing zeros
// and a trailing separator dropped (100 gives "100", 12.5 gives "12.5"), no grouping, no
// leading blank, and exponent form ("1E+15", "1E-05", "1.5E+20") when the decimal exponent is
// 15 or more or below -4. `decimal_separator` stands in place of the point. Zero is "0",
// whatever its sign. The digits never depend on the process's locale.
std::string FormatPrice(double value, std::string_view decimal_separator);

}  // namespace quillet
