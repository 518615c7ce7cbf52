#include "platform/control/control_listening_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/control/control_socket_path.h"

namespace quillet {
namespace {

// "<what> <path>: <the reason errno gives>"; reads errno before anything can change it.
std::string Failure(const char* what, const std::string& path) {
    const int error_number = errno;
    return std::string(what) + " " + path + ": " + std::strerror(error_number);
}

// Clears the way for a new socket at `path`: nothing there, or a socket nobody listens on
// (removed). Returns "" when the way is clear, otherwise why not.
std::string RemoveStaleSocket(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        return errno == ENOENT ? std::string() : Failure("cannot examine", path);
    }
    if (!S_ISSOCK(status.st_mode)) {
        return path + " exists and is not a socket; it is left alone";
    }
    const ControlSocketConnection probe = ConnectControlSocket(path);
    if (probe.fd) {
        return "another Quillet is already running (socket " + path + ")";
    }
    if (probe.error_number != ECONNREFUSED) {
        return "cannot tell whether another Quillet is running: " + probe.error;
    }
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        return Failure("cannot remove the stale socket", path);
    }
    return {};
}

}  // namespace

ControlListeningSocket::~ControlListeningSocket() {
    if (!fd_) {
        return;
    }
    fd_.reset();
    struct stat status {};
    if (lstat(path_.c_str(), &status) == 0 && status.st_dev == device_ && status.st_ino == inode_) {
        unlink(path_.c_str());
    }
}

std::string ControlListeningSocket::Listen(const std::string& path) {
    if (fd_) {
        return "the control server already listens at " + path_;
    }
    const std::optional<sockaddr_un> address = UnixSocketAddress(path);
    if (!address) {
        return "socket path \"" + path + "\" cannot be used: it must be 1 to 107 bytes";
    }
    if (std::string error = RemoveStaleSocket(path); !error.empty()) {
        return error;
    }
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        return Failure("cannot create a socket for", path);
    }
    // Linux gives the socket file the mode of the socket itself (less the umask), so the file
    // is the user's alone from the moment it appears.
    if (fchmod(fd.get(), 0600) != 0) {
        return Failure("cannot set the mode of the socket for", path);
    }
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
        if (errno == EADDRINUSE) {
            return "another Quillet is already running or starting (socket " + path + ")";
        }
        return Failure("cannot create the socket", path);
    }
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
        return Failure("cannot examine the new socket", path);
    }
    if ((status.st_mode & 0777) != 0600 && chmod(path.c_str(), 0600) != 0) {
        std::string error = Failure("cannot set the mode of the socket", path);
        unlink(path.c_str());
        return error;
    }
    if (listen(fd.get(), SOMAXCONN) != 0) {
        std::string error = Failure("cannot listen on the socket", path);
        unlink(path.c_str());
        return error;
    }
    fd_ = std::move(fd);
    path_ = path;
    device_ = status.st_dev;
    inode_ = status.st_ino;
    return {};
}

}  // namespace quillet
