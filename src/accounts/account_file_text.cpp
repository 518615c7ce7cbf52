#include "accounts/account_file_text.h"

#include "support/ansi_code_page.h"
#include "support/utf16.h"
#include "support/utf8.h"

namespace quillet {
namespace {

std::string Decode(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        return MendUtf8(bytes.substr(3));
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return Utf16ToUtf8(Utf16Units(bytes.substr(2), ByteOrder::LittleEndian));
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return Utf16ToUtf8(Utf16Units(bytes.substr(2), ByteOrder::BigEndian));
    }
    return AnsiToUtf8(bytes);
}

}  // namespace

std::string AccountFileText(std::string_view bytes) {
    const std::string text = Decode(bytes);
    std::string joined;
    joined.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            joined.push_back(text[i]);
        } else if (i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
    }
    return joined;
}

}  // namespace quillet
