#include "accounts/xml_references.h"

#include <cstdint>
#include <optional>

#include "support/ansi_code_page.h"

namespace quillet {
namespace {

// The longest reference read: "&#x" or "&#", then digits, then ";".
constexpr size_t kMaxDigits = 16;

bool IsXmlCharacter(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The code point of the numeric reference body `digits` ("229" or "xE5"); none when malformed.
std::optional<char32_t> NumericValue(std::string_view digits) {
    unsigned base = 10;
    if (digits.starts_with('x')) {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > kMaxDigits) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char c : digits) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    if (value > 0x10FFFF || !IsXmlCharacter(static_cast<char32_t>(value))) {
        return std::nullopt;
    }
    return static_cast<char32_t>(value);
}

}  // namespace

std::string DecodeXmlReferences(std::string_view text) {
    static constexpr struct {
        std::string_view name;
        char character;
    } kEntities[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const size_t semicolon =
            text[i] == '&' ? text.substr(i, kMaxDigits + 4).find(';') : std::string_view::npos;
        if (semicolon == std::string_view::npos) {
            out.push_back(text[i++]);
            continue;
        }
        const std::string_view body = text.substr(i + 1, semicolon - 1);
        bool decoded = false;
        if (body.starts_with('#')) {
            if (const auto c = NumericValue(body.substr(1))) {
                AppendUtf8(out, *c);
                decoded = true;
            }
        } else {
            for (const auto& entity : kEntities) {
                if (body == entity.name) {
                    out.push_back(entity.character);
                    decoded = true;
                }
            }
        }
        if (decoded) {
            i += semicolon + 1;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

}  // namespace quillet
