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
    // The socket is made under a name of its own and linked into place once it listens, so a
    // client never finds it there before it takes connections; the link fails when another
    // program got there first. A path too long for that is bound in place.
    const std::string made = path + "." + std::to_string(getpid());
    const std::optional<sockaddr_un> made_address = UnixSocketAddress(made);
    const sockaddr_un& bound = made_address ? *made_address : *address;
    const std::string& bound_path = made_address ? made : path;
    unlink(made.c_str());
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&bound), sizeof(bound)) != 0) {
        if (errno == EADDRINUSE) {
            return "another Quillet is already running or starting (socket " + path + ")";
        }
        return Failure("cannot create the socket", path);
    }
    const auto fail = [&](const char* what) {
        std::string error = Failure(what, path);
        unlink(bound_path.c_str());
        return error;
    };
    struct stat status {};
    if (lstat(bound_path.c_str(), &status) != 0) {
        return fail("cannot examine the new socket");
    }
    if ((status.st_mode & 0777) != 0600 && chmod(bound_path.c_str(), 0600) != 0) {
        return fail("cannot set the mode of the socket");
    }
    if (listen(fd.get(), SOMAXCONN) != 0) {
        return fail("cannot listen on the socket");
    }
    if (made_address) {
        if (link(made.c_str(), path.c_str()) != 0) {
            const bool taken = errno == EEXIST;
            std::string error =
                taken ? "another Quillet is already running or starting (socket " + path + ")"
                      : Failure("cannot put the socket in place at", path);
            unlink(made.c_str());
            return error;
        }
        unlink(made.c_str());
    }
    fd_ = std::move(fd);
    path_ = path;
    device_ = status.st_dev;
    inode_ = status.st_ino;
    return {};
}

}  // namespace quillet
