// Checking and mending UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// `text` with every byte that does not belong to a well-formed UTF-8 sequence (overlong forms,
// surrogates and values above U+10FFFF included) replaced by U+FFFD. Valid text comes back
// unchanged.
std::string MendUtf8(std::string_view text);

// The length of the well-formed UTF-8 sequence that starts at `text[0]`, or 0 when none does.
size_t Utf8SequenceLength(std::string_view text);

}  // namespace quillet
