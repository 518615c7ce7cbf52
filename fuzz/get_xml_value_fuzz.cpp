// Arbitrary text as an account file and the element name to look for: the input's first line
// is the name, the rest the file. The value found is text between a ">" and the next "<", and
// it does not depend on the letter case of the name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "accounts/get_xml_value.h"
#include "fuzz_check.h"
#include "support/ansi_code_page.h"
#include "support/fold_case.h"
#include "support/utf8.h"

namespace {

using quillet::fuzz::Check;

// The lower-case letter of a Windows-1252 upper-case one (A-Z, À-Þ but ×, Š Œ Ž Ÿ); any other
// character as it is.
char32_t Lower(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    switch (c) {
        case 0x160:  // Š
        case 0x152:  // Œ
        case 0x17D:  // Ž
            return c + 1;
        case 0x178:  // Ÿ
            return 0xFF;
        default:
            return c;
    }
}

// `text` with every letter in lower case; bytes that are not well-formed UTF-8 as they are.
std::string Lowered(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const size_t length = quillet::Utf8SequenceLength(text);
        if (length == 0) {
            out += text.front();
            text.remove_prefix(1);
            continue;
        }
        char32_t c = static_cast<uint8_t>(text[0]) & (length == 1 ? 0x7F : 0x7F >> length);
        for (size_t i = 1; i < length; ++i) {
            c = (c << 6) | (static_cast<uint8_t>(text[i]) & 0x3F);
        }
        quillet::AppendUtf8(out, Lower(c));
        text.remove_prefix(length);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t end = input.find('\n');
    const std::string_view key = input.substr(0, end);
    const std::string_view xml =
        end == std::string_view::npos ? std::string_view() : input.substr(end + 1);

    const std::string value = quillet::GetXMLvalue(xml, key);
    if (!value.empty()) {
        Check(quillet::FindIgnoringCase(xml, key) != std::string_view::npos,
              "a value is found only after its name");
        Check(xml.find(">" + value + "<") != std::string_view::npos,
              "a value stands between a \">\" and a \"<\"");
        Check(value.find('<') == std::string::npos, "a value holds no \"<\"");
    }
    Check(quillet::GetXMLvalue(xml, Lowered(key)) == value,
          "the letter case of the name does not matter");
    return 0;
}
