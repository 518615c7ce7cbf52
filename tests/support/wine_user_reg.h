// Writing registry values the way Wine writes them into user.reg.
#pragma once

#include <cstdio>
#include <string>

namespace quillet::test {

// The line(s) of a byte-list value: lower-case pairs, wrapped after column 76 with a trailing
// backslash and two blanks on the next line, as Wine wraps them.
inline std::string WineHexValue(const std::string& name, const std::string& type,
                                const std::string& bytes) {
    std::string line = "\"" + name + "\"=" + type + ":";
    size_t count = line.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
        line += pair;
        count += 2;
        if (i + 1 < bytes.size()) {
            line += ',';
            if (++count > 76) {
                line += "\\\n  ";
                count = 2;
            }
        }
    }
    return line + "\n";
}

// The bytes of a UTF-16 text with its terminating zero, low byte first.
inline std::string Utf16Z(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes + std::string(2, '\0');
}

}  // namespace quillet::test
