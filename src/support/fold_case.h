// Letter case in the program's texts (UTF-8), for the names and keys that the program compares
// ignoring case. The letters of Windows-1252 match their other case: A-Z, the Latin-1 letters
// (À-Þ except ×, and ÿ) and Š Œ Ž Ÿ. Every other character matches only itself.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// `text` with each of those letters in upper case. The result has the same length as `text`
// and every character stays at its byte position, so a position found in the folded text holds
// in `text` too. Bytes that are not well-formed UTF-8 stay as they are. Never fails.
std::string FoldCase(std::string_view text);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// The byte position of the first occurrence of `key` in `text`, ignoring case; npos when there
// is none. An empty key is found at 0.
size_t FindIgnoringCase(std::string_view text, std::string_view key);

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix);

}  // namespace quillet
