// The control server's listening socket file: made the user's alone, a stale one replaced, a
// live one left to the program that holds it, and removed again when done.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/unique_fd.h"

namespace quillet {

class ControlListeningSocket {
  public:
    ControlListeningSocket() = default;
    // Closes the socket and removes its file, but only while the file at the path is still the
    // one this object made (a newer program's socket there is left alone).
    ~ControlListeningSocket();
    ControlListeningSocket(const ControlListeningSocket&) = delete;
    ControlListeningSocket& operator=(const ControlListeningSocket&) = delete;

    // Listens at `path` with a nonblocking, close-on-exec socket of mode 0600 (set before the
    // file appears). A socket file already at `path` that nobody listens on is replaced. Returns
    // "" on success, otherwise why not, naming the path: this object already listens; the path
    // is unusable for a socket (empty, over 107 bytes); something that is not a socket is
    // there (it is never removed); another program listens there ("another Quillet is already
    // running"); the file cannot be examined, removed or created (permissions, missing folder).
    [[nodiscard]] std::string Listen(const std::string& path);

    int fd() const { return fd_.get(); }
    const std::string& path() const { return path_; }

  private:
    UniqueFd fd_;
    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace quillet
