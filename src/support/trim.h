// Blanks around a text.
#pragma once

#include <string_view>

namespace quillet {

// `text` without the characters of `blanks` at either end.
constexpr std::string_view TrimOf(std::string_view text, std::string_view blanks) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Without leading and trailing space characters only (not tabs or line breaks).
constexpr std::string_view TrimSpaces(std::string_view text) {
    return TrimOf(text, " ");
}

// Without leading and trailing spaces and tabs.
constexpr std::string_view TrimBlanks(std::string_view text) {
    return TrimOf(text, " \t");
}

}  // namespace quillet
