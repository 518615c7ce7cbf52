#include "control_client.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "child_process.h"

namespace quillet::bench {

ControlClient::ControlClient(const std::string& path)
    : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (!fd_ || path.size() >= sizeof address.sun_path) {
        throw std::runtime_error("cannot make a socket for " + path);
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot connect to " + path + ": " + std::strerror(errno));
    }
}

bool ControlClient::Send(const std::string& request) {
    const std::string line = request + "\n";
    size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t put = ::send(fd_.get(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        sent += static_cast<size_t>(put);
    }
    return true;
}

std::optional<std::string> ControlClient::Receive(std::chrono::milliseconds limit) {
    return ReadLine(fd_.get(), buffer_, limit);
}

std::optional<std::string> ControlClient::Exchange(const std::string& request,
                                                   std::chrono::milliseconds limit) {
    if (!Send(request)) {
        return std::nullopt;
    }
    return Receive(limit);
}

}  // namespace quillet::bench
