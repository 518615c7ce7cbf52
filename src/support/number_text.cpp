#include "support/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace quillet {
namespace {

bool IsSkipped(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The text without the characters that are skipped anywhere.
std::string WithoutBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (!IsSkipped(c)) {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

double ReadLeadingNumber(std::string_view text) {
    const std::string s = WithoutBlanks(text);
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const size_t mantissa_start = i;
    size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    size_t end = i;
    // An exponent counts only when at least one digit follows its letter and sign.
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        if (j < s.size() && IsDigit(s[j])) {
            while (j < s.size() && IsDigit(s[j])) {
                ++j;
            }
            end = j;
        }
    }
    std::string number = s.substr(mantissa_start, end - mantissa_start);
    // from_chars takes no leading '+' in the exponent's place either; it accepts "e+5" though.
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity; too small to represent is as good as 0.
        const auto exponent = number.find_first_of("eE");
        const bool tiny = exponent != std::string::npos && number[exponent + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

std::optional<int32_t> RoundToInt32(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    // nearbyint rounds half to even in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<int32_t>(rounded);
}

std::optional<int32_t> ReadWholeNumber(std::string_view text) {
    return RoundToInt32(ReadLeadingNumber(text));
}

}  // namespace quillet
