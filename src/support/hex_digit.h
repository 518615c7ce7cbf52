// Hexadecimal digits.
#pragma once

namespace quillet {

// The value of a hexadecimal digit ('0' to '9', 'a' to 'f', 'A' to 'F'); -1 for any other
// character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace quillet
