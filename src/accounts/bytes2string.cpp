#include "accounts/bytes2string.h"

#include <vector>

#include "support/ansi_code_page.h"
#include "support/hex_digit.h"
#include "support/utf16.h"

namespace quillet {
namespace {

// Two characters read as hexadecimal up to the first that is not a digit.
unsigned HexPair(std::string_view pair) {
    unsigned value = 0;
    for (char c : pair) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

}  // namespace

std::string Bytes2String(std::string_view bytear) {
    std::vector<char32_t> units;
    for (size_t at = 0; at + 4 <= bytear.size(); at += 4) {
        const char32_t unit =
            HexPair(bytear.substr(at, 2)) + HexPair(bytear.substr(at + 2, 2)) * 256;
        if (unit != 0) {
            units.push_back(unit);
        }
    }
    std::string text;
    for (size_t i = 0; i < units.size(); ++i) {
        const char32_t unit = units[i];
        if (unit <= 0xFF) {
            text += AnsiToUtf8(std::string(1, static_cast<char>(unit)));
        } else if (IsHighSurrogate(unit) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
            AppendUtf8(text, JoinSurrogates(unit, units[i + 1]));
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(text, 0xFFFD);
        } else {
            AppendUtf8(text, unit);
        }
    }
    return text;
}

}  // namespace quillet
