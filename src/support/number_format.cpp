#include "support/number_format.h"

#include <charconv>
#include <cmath>

namespace quillet {

std::string FormatPrice(double value, std::string_view decimal_separator) {
    if (value == 0) {
        return "0";
    }
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Infinity" : "Infinity";
    }
    char buffer[64];
    // Like printf's %.15G, but in the C locale whatever the process's is.
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string text(buffer, result.ptr);
    std::string out;
    out.reserve(text.size() + decimal_separator.size());
    for (char c : text) {
        if (c == '.') {
            out += decimal_separator;
        } else {
            out += c == 'e' ? 'E' : c;
        }
    }
    return out;
}

}  // namespace quillet
