// Registry values as the program sees them, and the value decoding: how the type code and the
// data bytes that the ANSI registry query gives turn into text or a number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace quillet {

// The root of the current user's keys, the only root the program reads.
inline constexpr uint32_t HKEY_CURRENT_USER = 0x80000001;

// Value type codes, as the registry defines them.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;

// The room the program gives a value's data and a subkey name (its terminating zero included).
inline constexpr size_t kRegValueBufferSize = 2048;
inline constexpr size_t kRegKeyNameBufferSize = 256;

// A value of a type the program does not handle.
struct RegNothing {
    bool operator==(const RegNothing&) const = default;
};

// What reading a value gives: nothing, text (UTF-8) or a number (a REG_DWORD).
using RegValue = std::variant<RegNothing, std::string, uint32_t>;

// The value decoding of `type` and `data`, the bytes the ANSI query wrote (its byte count is
// data.size()):
// - REG_SZ: the Windows-1252 text of all bytes but the last, which is the terminating zero;
//   no bytes at all give nothing.
// - REG_BINARY: two uppercase hexadecimal digits per byte, no separator ("0100AB0F10").
// - REG_DWORD: the first four bytes as a little-endian unsigned number; missing bytes count 0.
// - any other type: nothing.
// Never fails.
RegValue DecodeRegValue(uint32_t type, std::string_view data);

// The text every caller turns a value into: text as it stands, a number as its decimal digits,
// nothing as empty text.
std::string RegValueText(const RegValue& value);

}  // namespace quillet
