// The one rule for a usable server name, which the settings check and the transport share.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// The host that the server name `typed` stands for, as the transport is given it: blanks
// around it dropped, and the brackets of an IPv6 address ("[::1]") dropped. Empty when the name
// is not usable: nothing is left of it, or it is neither a host name (letters, digits, '-', '_'
// and '.'), nor an IPv4 address, nor an IPv6 address (with its zone after '%'). A port written
// after the name ("host:587") is not usable: the port has a field of its own.
std::optional<std::string> UsableServerHost(std::string_view typed);

// Whether `host` (as UsableServerHost gives it) is this machine's loopback: "localhost", an
// address of 127.0.0.0/8, or ::1. Only there may a password travel without encryption.
bool IsLoopbackHost(std::string_view host);

}  // namespace quillet
