// Where the order-notification control socket is, and how a client reaches it. Shared by the
// program's control server and by quillet-feed; the server alone creates and checks folders.
#pragma once

#include <sys/un.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/unique_fd.h"

namespace quillet {

// The environment the socket's place depends on. An empty variable counts as unset.
struct ControlSocketEnvironment {
    std::string quillet_socket;   // $QUILLET_SOCKET
    std::string xdg_runtime_dir;  // $XDG_RUNTIME_DIR
    uint32_t uid = 0;             // the real user id
};

// The environment of this process. Never fails.
ControlSocketEnvironment CurrentControlSocketEnvironment();

struct ControlSocketLocation {
    std::string path;  // the socket
    // Set only for the fallback /tmp/quillet-<uid>: the folder of `path`, which the server
    // creates with mode 0700 or refuses when it is not the user's alone. Empty otherwise.
    std::string private_folder;
};

// `quillet_socket` when set (as it stands, relative paths included); else
// `xdg_runtime_dir`/quillet.sock when that is an absolute path; else
// /tmp/quillet-<uid>/quillet.sock with `private_folder` set. Never fails.
ControlSocketLocation LocateControlSocket(const ControlSocketEnvironment& environment);

// The address of a Unix domain socket at `path`; empty when the path is empty or too long for
// an address (more than 107 bytes) or holds a NUL byte.
std::optional<sockaddr_un> UnixSocketAddress(const std::string& path);

struct ControlSocketConnection {
    UniqueFd fd;           // a connected, blocking, close-on-exec stream socket; invalid on failure
    int error_number = 0;  // errno of the failure (ENAMETOOLONG for an unusable path), else 0
    std::string error;     // for a person to read, naming the path; empty on success
};

// Connects to the socket at `path`. Fails when the path is unusable (see UnixSocketAddress),
// nothing listens there (ENOENT, ECONNREFUSED), the user may not reach it (EACCES), or the
// system refuses a socket.
ControlSocketConnection ConnectControlSocket(const std::string& path);

}  // namespace quillet
