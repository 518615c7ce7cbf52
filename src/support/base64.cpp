#include "support/base64.h"

#include <algorithm>
#include <cstdint>

#include "support/ansi_code_page.h"

namespace quillet {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

uint32_t SixBits(char c) {
    if (c >= 'A' && c <= 'Z') {
        return static_cast<uint32_t>(c - 'A');
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<uint32_t>(c - 'a' + 26);
    }
    if (c >= '0' && c <= '9') {
        return static_cast<uint32_t>(c - '0' + 52);
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return 0;
}

std::string Replaced(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

}  // namespace

std::string Base64EncodeBytes(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t present = std::min<size_t>(3, bytes.size() - i);
        uint32_t n = 0;
        for (size_t k = 0; k < 3; ++k) {
            n = (n << 8) | (k < present ? static_cast<uint8_t>(bytes[i + k]) : 0u);
        }
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += present > 1 ? kAlphabet[(n >> 6) & 63] : '=';
        out += present > 2 ? kAlphabet[n & 63] : '=';
    }
    return out;
}

std::string Base64Encode(std::string_view text) {
    return Base64EncodeBytes(Utf8ToAnsi(text));
}

std::string Base64Decode(std::string_view encoded) {
    std::string bytes;
    bytes.reserve(encoded.size() / 4 * 3 + 3);
    for (size_t i = 0; i < encoded.size(); i += 4) {
        uint32_t n = 0;
        for (size_t k = 0; k < 4; ++k) {
            n = (n << 6) | (i + k < encoded.size() ? SixBits(encoded[i + k]) : 0u);
        }
        for (int shift : {16, 8, 0}) {
            const auto byte = static_cast<char>((n >> shift) & 0xFF);
            if (byte != 0) {
                bytes += byte;
            }
        }
    }
    return AnsiToUtf8(bytes);
}

std::string Base64EncodeForINI(std::string_view text) {
    return Replaced(Base64Encode(text), '=', '$');
}

std::string Base64DecodeFromINI(std::string_view stored) {
    return Base64Decode(Replaced(std::string(stored), '$', '='));
}

}  // namespace quillet
