// Helpers for the control server's tests: a Qt application per test, running its event loop
// until a condition holds (always bounded), and a blocking line client for other threads.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/control/control_socket_path.h"

namespace quillet::test {

constexpr std::chrono::milliseconds kClientWait{10000};

// A QCoreApplication for the life of one test.
class TestApplication {
  public:
    TestApplication() : app_(argc_, argv_) {}

  private:
    int argc_ = 1;
    char name_[16] = "control_tests";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication app_;
};

// Runs the event loop until `done` holds, at most `limit`. Returns whether it holds.
inline bool RunEventLoopUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QEventLoop loop;
    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || std::chrono::steady_clock::now() >= deadline) {
            loop.quit();
        }
    });
    check.start();
    if (!done()) {
        loop.exec();
    }
    return done();
}

// A client that writes and reads whole lines, each wait bounded by kClientWait. For use on a
// thread other than the server's.
class LineClient {
  public:
    explicit LineClient(const std::string& path) : fd_(ConnectControlSocket(path).fd) {}

    // Writes all of `data`; false when the socket fails.
    bool Write(const std::string& data) {
        size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t n = send(fd_.get(), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    // The next line without its LF; empty when the server closed or said nothing in time.
    std::optional<std::string> ReadLine() {
        const auto deadline = std::chrono::steady_clock::now() + kClientWait;
        while (true) {
            const size_t end = received_.find('\n');
            if (end != std::string::npos) {
                std::string line = received_.substr(0, end);
                received_.erase(0, end + 1);
                return line;
            }
            if (!Receive(deadline)) {
                return std::nullopt;
            }
        }
    }

    // True when the server closes the connection (in time) without sending more.
    bool ReadsEnd() {
        const auto deadline = std::chrono::steady_clock::now() + kClientWait;
        while (received_.empty()) {
            if (!Receive(deadline)) {
                return received_.empty() && !timed_out_;
            }
        }
        return false;
    }

  private:
    // Reads what has come; false at the end of the stream, on an error or at the deadline.
    bool Receive(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timed_out_ = true;
            return false;
        }
        pollfd waiting{fd_.get(), POLLIN, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            return true;
        }
        if (ready <= 0) {
            timed_out_ = ready == 0;
            return false;
        }
        char buffer[4096];
        const ssize_t n = recv(fd_.get(), buffer, sizeof(buffer), 0);
        if (n <= 0) {
            return n < 0 && errno == EINTR;
        }
        received_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    UniqueFd fd_;
    std::string received_;
    bool timed_out_ = false;
};

}  // namespace quillet::test
