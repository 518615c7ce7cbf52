// Arbitrary bytes as Base64 the settings file holds, and as text to store. Decoding never
// fails and gives UTF-8 without NUL characters; every text of Windows-1252 characters without
// NUL comes back from its stored form unchanged.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "support/ansi_code_page.h"
#include "support/base64.h"
#include "support/utf8.h"

namespace {

using quillet::fuzz::Check;

void CheckDecoded(const std::string& text) {
    Check(quillet::MendUtf8(text) == text, "decoding gives valid UTF-8");
    Check(text.find('\0') == std::string::npos, "decoding drops zero bytes");
}

void CheckEncoded(std::string_view encoded, char pad) {
    Check(encoded.size() % 4 == 0, "Base64 comes in groups of four");
    for (char c : encoded) {
        const bool in_alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                 (c >= '0' && c <= '9') || c == '+' || c == '/' || c == pad;
        Check(in_alphabet, "Base64 holds only its alphabet and padding");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckDecoded(quillet::Base64Decode(bytes));
    CheckDecoded(quillet::Base64DecodeFromINI(bytes));

    std::string without_zeros(bytes);
    std::erase(without_zeros, '\0');
    const std::string text = quillet::AnsiToUtf8(without_zeros);

    const std::string encoded = quillet::Base64Encode(text);
    CheckEncoded(encoded, '=');
    Check(quillet::Base64Decode(encoded) == text, "a text comes back from Base64");

    const std::string stored = quillet::Base64EncodeForINI(text);
    CheckEncoded(stored, '$');
    Check(quillet::Base64DecodeFromINI(stored) == text, "a text comes back from its stored form");

    const std::string raw = quillet::Base64EncodeBytes(bytes);
    CheckEncoded(raw, '=');
    Check(quillet::Base64Decode(raw) == text, "bytes come back as their text, zeros dropped");
    return 0;
}
