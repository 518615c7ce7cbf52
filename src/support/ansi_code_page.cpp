#include "support/ansi_code_page.h"

#include <cstdint>

#include "support/utf8.h"

namespace quillet {
namespace {

// The characters of the bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t DecodeSequence(std::string_view sequence) {
    const auto b0 = static_cast<uint8_t>(sequence[0]);
    if (sequence.size() == 1) {
        return b0;
    }
    char32_t code = b0 & (0x7F >> sequence.size());
    for (size_t i = 1; i < sequence.size(); ++i) {
        code = (code << 6) | (static_cast<uint8_t>(sequence[i]) & 0x3F);
    }
    return code;
}

char AnsiByte(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
        return static_cast<char>(code);
    }
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == code) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const size_t n = Utf8SequenceLength(utf8);
        if (n == 0) {
            out += '?';
            utf8.remove_prefix(1);
            continue;
        }
        out += AnsiByte(DecodeSequence(utf8.substr(0, n)));
        utf8.remove_prefix(n);
    }
    return out;
}

std::string AnsiToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char b : bytes) {
        const auto byte = static_cast<uint8_t>(b);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte);
    }
    return out;
}

}  // namespace quillet
