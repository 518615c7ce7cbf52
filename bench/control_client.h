// One connection to a running Quillet's control socket: a request line out, its reply line in.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/unique_fd.h"

namespace quillet::bench {

class ControlClient {
  public:
    // Connects to the socket at `path`; throws std::runtime_error when it cannot.
    explicit ControlClient(const std::string& path);

    // Sends `request` (one JSON object, no line end) and gives its reply line; nothing when the
    // connection breaks or no reply comes within `limit`.
    std::optional<std::string> Exchange(const std::string& request,
                                        std::chrono::milliseconds limit = std::chrono::seconds(60));

    // Only sends; Receive gives the reply.
    bool Send(const std::string& request);
    std::optional<std::string> Receive(std::chrono::milliseconds limit);

    int fd() const { return fd_.get(); }

  private:
    UniqueFd fd_;
    std::string buffer_;
};

}  // namespace quillet::bench
