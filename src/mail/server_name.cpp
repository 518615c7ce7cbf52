#include "mail/server_name.h"

#include <arpa/inet.h>

#include <strings.h>

#include <algorithm>

#include "support/trim.h"

namespace quillet {
namespace {

bool IsHostNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '-' || c == '_';
}

// An IPv6 address, with an optional zone ("fe80::1%eth0") whose name holds no URL specials.
bool IsIpv6Address(std::string_view text) {
    const size_t zone = text.find('%');
    const std::string address(text.substr(0, zone));
    if (zone != std::string_view::npos &&
        (zone + 1 == text.size() ||
         !std::all_of(text.begin() + static_cast<std::ptrdiff_t>(zone) + 1, text.end(),
                      IsHostNameCharacter))) {
        return false;
    }
    in6_addr parsed{};
    return inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
}

}  // namespace

bool IsLoopbackHost(std::string_view host) {
    const std::string text(host);
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
        return IN6_IS_ADDR_LOOPBACK(&v6);
    }
    return text.size() == 9 && strncasecmp(text.c_str(), "localhost", 9) == 0;
}

std::optional<std::string> UsableServerHost(std::string_view typed) {
    std::string_view host = TrimBlanks(typed);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        return IsIpv6Address(host) ? std::optional<std::string>(host) : std::nullopt;
    }
    if (host.find(':') != std::string_view::npos) {
        return IsIpv6Address(host) ? std::optional<std::string>(host) : std::nullopt;
    }
    if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostNameCharacter)) {
        return std::nullopt;
    }
    return std::string(host);
}

}  // namespace quillet
