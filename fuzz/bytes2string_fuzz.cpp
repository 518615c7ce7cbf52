// Arbitrary text as the hexadecimal form of a binary registry value holding UTF-16 text. The
// result is valid UTF-8 without NUL characters, at most three bytes for four characters read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "accounts/bytes2string.h"
#include "fuzz_check.h"
#include "support/utf8.h"

using quillet::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view hex(reinterpret_cast<const char*>(data), size);
    const std::string text = quillet::Bytes2String(hex);
    Check(quillet::MendUtf8(text) == text, "the text is valid UTF-8");
    Check(text.find('\0') == std::string::npos, "zero units are dropped");
    Check(text.size() <= hex.size() / 4 * 3, "at most three bytes for each unit");
    return 0;
}
