// Standard Base64 (RFC 4648 alphabet, "=" padding) of bytes.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// The Base64 form of `bytes`, padded with "=" to a multiple of four characters. Never fails.
std::string Base64Encode(std::string_view bytes);

}  // namespace quillet
