#include "platform/control/control_socket_path.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quillet {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

ControlSocketEnvironment CurrentControlSocketEnvironment() {
    return ControlSocketEnvironment{Variable("QUILLET_SOCKET"), Variable("XDG_RUNTIME_DIR"),
                                    static_cast<uint32_t>(getuid())};
}

ControlSocketLocation LocateControlSocket(const ControlSocketEnvironment& environment) {
    if (!environment.quillet_socket.empty()) {
        return {environment.quillet_socket, {}};
    }
    const std::string& runtime = environment.xdg_runtime_dir;
    if (!runtime.empty() && runtime.front() == '/') {
        return {runtime + (runtime.back() == '/' ? "" : "/") + "quillet.sock", {}};
    }
    const std::string folder = "/tmp/quillet-" + std::to_string(environment.uid);
    return {folder + "/quillet.sock", folder};
}

std::optional<sockaddr_un> UnixSocketAddress(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path) ||
        path.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    return address;
}

ControlSocketConnection ConnectControlSocket(const std::string& path) {
    ControlSocketConnection result;
    const std::optional<sockaddr_un> address = UnixSocketAddress(path);
    if (!address) {
        result.error_number = ENAMETOOLONG;
        result.error =
            "socket path \"" + path + "\" cannot be used: it must be 1 to 107 bytes without NUL";
        return result;
    }
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        result.error_number = errno;
        result.error = std::string("cannot create a socket: ") + std::strerror(errno);
        return result;
    }
    if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
        result.error_number = errno;
        result.error = "cannot connect to " + path + ": " + std::strerror(errno);
        return result;
    }
    result.fd = std::move(fd);
    return result;
}

}  // namespace quillet
