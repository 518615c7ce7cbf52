// What the fuzz targets assert: a broken rule stops the run as a crash, so libFuzzer keeps the
// input that broke it; and texts in the other letter case, to check that names are matched
// ignoring it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "support/ansi_code_page.h"
#include "support/utf8.h"

namespace quillet::fuzz {

// Stops the process with a trap, naming the rule, when `holds` is false.
inline void Check(bool holds, const char* rule) {
    if (!holds) {
        std::fprintf(stderr, "fuzz check failed: %s\n", rule);
        __builtin_trap();
    }
}

// The lower-case letter of a Windows-1252 upper-case one (A-Z, À-Þ but ×, Š Œ Ž Ÿ); any other
// character as it is.
inline char32_t LowerLetter(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    if (c == 0x160 || c == 0x152 || c == 0x17D) {  // Š Œ Ž
        return c + 1;
    }
    return c == 0x178 ? 0xFF : c;  // Ÿ
}

// `text` with every letter in lower case; bytes that are not well-formed UTF-8 as they are.
inline std::string Lowered(std::string_view text) {
    std::string out;
    for (size_t length = 0; !text.empty(); text.remove_prefix(length == 0 ? 1 : length)) {
        length = Utf8SequenceLength(text);
        if (length == 0) {
            out += text.front();
            continue;
        }
        char32_t c = static_cast<uint8_t>(text[0]) & (length == 1 ? 0x7F : 0x7F >> length);
        for (size_t i = 1; i < length; ++i) {
            c = (c << 6) | (static_cast<uint8_t>(text[i]) & 0x3F);
        }
        AppendUtf8(out, LowerLetter(c));
    }
    return out;
}

}  // namespace quillet::fuzz
