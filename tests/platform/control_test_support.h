// A blocking line client of the control socket, for the tests of the control server and the
// program.
#pragma once

#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/control/control_socket_path.h"

namespace quillet::test {

// A client that writes and reads whole lines, each read waiting at most 10 s. For use on
// a thread other than the server's.
class LineClient {
  public:
    explicit LineClient(const std::string& path) : fd_(ConnectControlSocket(path).fd) {
        const timeval wait{10, 0};
        setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }

    // Makes a write that the server takes nothing of for `seconds` fail.
    void LimitWrites(int seconds) {
        const timeval wait{seconds, 0};
        setsockopt(fd_.get(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    }

    // Writes all of `data`; false when the socket fails or a limited write times out.
    bool Write(const std::string& data) {
        for (size_t sent = 0; sent < data.size();) {
            const ssize_t n = send(fd_.get(), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0 && !(n < 0 && errno == EINTR)) {
                return false;
            }
            sent += n > 0 ? static_cast<size_t>(n) : 0;
        }
        return true;
    }

    // The next line without its LF; nothing when the server closed or said nothing in time.
    std::optional<std::string> ReadLine() {
        size_t end = 0;
        while ((end = received_.find('\n')) == std::string::npos) {
            if (Receive() <= 0) {
                return std::nullopt;
            }
        }
        std::string line = received_.substr(0, end);
        received_.erase(0, end + 1);
        return line;
    }

    // True when the server closes the connection (in time) without sending more.
    bool ReadsEnd() { return received_.empty() && Receive() == 0; }

  private:
    // Reads what has come: 1; 0 at the end of the stream or on an error; -1 when nothing came.
    int Receive() {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = recv(fd_.get(), buffer, sizeof buffer, 0)) < 0 && errno == EINTR) {
        }
        if (n > 0) {
            received_.append(buffer, static_cast<size_t>(n));
        }
        return n > 0 ? 1 : (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? -1 : 0);
    }

    UniqueFd fd_;
    std::string received_;
};

}  // namespace quillet::test
