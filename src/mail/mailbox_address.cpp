#include "mail/mailbox_address.h"

namespace quillet {
namespace {

constexpr size_t kMaxLocalPart = 64;
constexpr size_t kMaxDomain = 255;

bool IsLetterOrDigit(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsAtomByte(unsigned char c) {
    return IsLetterOrDigit(c) || c >= 0x80 || std::string_view("!#$%&'*+-/=?^_`{|}~").find(
                                                  static_cast<char>(c)) != std::string_view::npos;
}

// Atoms joined by single dots: no dot first, last or twice.
bool IsDotString(std::string_view text) {
    bool after_dot = true;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '.') {
            if (after_dot) {
                return false;
            }
            after_dot = true;
        } else if (IsAtomByte(c)) {
            after_dot = false;
        } else {
            return false;
        }
    }
    return !after_dot;
}

// '"', then printable signs and spaces ('"' and '\' only after a '\'), then '"' at the end.
bool IsQuotedString(std::string_view text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') {
        return false;
    }
    text = text.substr(1, text.size() - 2);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            if (++i == text.size()) {
                return false;  // the closing quote would be escaped
            }
            const auto escaped = static_cast<unsigned char>(text[i]);
            if (escaped < 0x20 || escaped == 0x7f) {
                return false;
            }
        } else if (c == '"' || (c < 0x20) || c == 0x7f) {
            return false;
        }
    }
    return true;
}

bool IsLabel(std::string_view label) {
    if (label.empty() || label.front() == '-' || label.back() == '-') {
        return false;
    }
    for (const char ch : label) {
        const auto c = static_cast<unsigned char>(ch);
        if (!IsLetterOrDigit(c) && c != '-' && c < 0x80) {
            return false;
        }
    }
    return true;
}

bool IsDomain(std::string_view domain) {
    while (true) {
        const size_t dot = domain.find('.');
        if (!IsLabel(domain.substr(0, dot))) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        domain.remove_prefix(dot + 1);
    }
}

// "[...]" holding printable signs other than '[', ']' and '\': an IPv4 address, "IPv6:..." or
// another tagged literal, which the server judges.
bool IsAddressLiteral(std::string_view text) {
    if (text.size() < 3 || text.front() != '[' || text.back() != ']') {
        return false;
    }
    for (const char ch : text.substr(1, text.size() - 2)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7f || c == '[' || c == ']' || c == '\\') {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsMailboxAddress(std::string_view address) {
    const size_t at = address.rfind('@');
    if (at == std::string_view::npos) {
        return false;
    }
    const std::string_view local = address.substr(0, at);
    const std::string_view domain = address.substr(at + 1);
    if (local.empty() || local.size() > kMaxLocalPart || domain.size() > kMaxDomain) {
        return false;
    }
    return (IsDotString(local) || IsQuotedString(local)) &&
           (IsDomain(domain) || IsAddressLiteral(domain));
}

}  // namespace quillet
