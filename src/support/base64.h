// Base64 (RFC 4648 alphabet, "=" padding, never wrapped into lines), and the forms the settings
// file keeps its keys and values in.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The Base64 form of raw bytes. Never fails.
std::string Base64EncodeBytes(std::string_view bytes);

// The Base64 form of a text's Windows-1252 bytes (characters that code page lacks become "?").
// Empty text gives empty text. Never fails.
std::string Base64Encode(std::string_view text);

// The text of Base64 `encoded`, decoded leniently: groups of four characters, a character
// outside the alphabet ("=" and blanks included) counts as 0 and keeps its place, a short last
// group is filled with zeros, and every zero byte of the result is dropped; the bytes are read
// as Windows-1252. Never fails.
std::string Base64Decode(std::string_view encoded);

// Base64Encode with every "=" written as "$", as the settings file stores keys and values.
std::string Base64EncodeForINI(std::string_view text);

// Base64Decode of a stored form after every "$" is read as "=".
std::string Base64DecodeFromINI(std::string_view stored);

}  // namespace quillet
