// bench-startup [RUNS]
//
// Start-up of the real program, offscreen, from a copy beside its settings file: the time from
// starting the process to its control socket appearing (bound), to its "listening" message on
// standard error (written after the main window's show()), and to the reply to a QueryConnected
// sent as soon as the socket takes connections (the event loop runs by then); then its memory
// at rest, half a second later. One start first to fill the page cache, not counted; then the
// median of RUNS starts.
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_table.h"
#include "child_process.h"
#include "control_client.h"
#include "installed_quillet.h"
#include "platform/unique_fd.h"
#include "process_stats.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultRuns = 10;
constexpr double kGoalMs = 300;
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kRest = std::chrono::milliseconds(500);

struct StartUp {
    double socket_ms = 0;  // the socket file made (bind)
    double shown_ms = 0;   // the "listening" message, after show()
    double reply_ms = 0;   // the first QueryConnected answered
    double rss_mb = 0;     // at rest
    double anon_mb = 0;    // of that, the process's own (not file-backed) pages
};

// Whether an inotify event for `name` is among the events read into `buffer`.
bool Created(const char* buffer, ssize_t length, const std::string& name) {
    for (ssize_t at = 0; at < length;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0 && name == event->name) {
            return true;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
    return false;
}

StartUp StartOnce(const InstalledQuillet& quillet) {
    const UniqueFd watch(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (!watch || ::inotify_add_watch(watch.get(), quillet.folder().c_str(), IN_CREATE) < 0) {
        throw std::runtime_error("cannot watch the program's folder");
    }
    const std::string socket_name = "q.sock";

    const auto start = std::chrono::steady_clock::now();
    ChildProcess program = quillet.Start(/*pipe_stderr=*/true);
    const auto since_start = [&] { return Milliseconds(std::chrono::steady_clock::now() - start); };

    StartUp result;
    std::optional<ControlClient> client;
    std::string stderr_text;
    bool socket_seen = false, shown = false, answered = false;
    while (!(socket_seen && shown && answered)) {
        if (std::chrono::steady_clock::now() - start > kStartLimit) {
            throw std::runtime_error("the program did not start within the limit: " + stderr_text);
        }
        // Connect as soon as the socket is there and listens.
        if (socket_seen && !client) {
            try {
                client.emplace(quillet.socket());
                client->Send(R"({"event":"QueryConnected"})");
            } catch (const std::runtime_error&) {
                // bound, not yet listening: try again at once
            }
        }
        std::vector<pollfd> fds{{watch.get(), POLLIN, 0}, {program.stderr_fd(), POLLIN, 0}};
        if (client) {
            fds.push_back({client->fd(), POLLIN, 0});
        }
        const int timeout_ms = socket_seen && !client ? 0 : 5;
        if (::poll(fds.data(), fds.size(), timeout_ms) < 0 && errno != EINTR) {
            throw std::runtime_error("poll failed");
        }
        if (!socket_seen && (fds[0].revents & POLLIN) != 0) {
            std::array<char, 4096> events;
            const ssize_t length = ::read(watch.get(), events.data(), events.size());
            if (length > 0 && Created(events.data(), length, socket_name)) {
                socket_seen = true;
                result.socket_ms = since_start();
            }
        }
        if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            std::array<char, 4096> chunk;
            const ssize_t got = ::read(program.stderr_fd(), chunk.data(), chunk.size());
            if (got <= 0) {
                throw std::runtime_error("the program ended early: " + stderr_text);
            }
            stderr_text.append(chunk.data(), static_cast<size_t>(got));
            if (!shown && stderr_text.find("quillet: listening") != std::string::npos) {
                shown = true;
                result.shown_ms = since_start();
            }
        }
        if (client && fds.size() > 2 && (fds[2].revents & POLLIN) != 0) {
            const auto reply = client->Receive(std::chrono::seconds(1));
            if (!reply || reply->find("\"ok\":true") == std::string::npos) {
                throw std::runtime_error("QueryConnected was not answered");
            }
            answered = true;
            result.reply_ms = since_start();
        }
    }

    std::this_thread::sleep_for(kRest);
    result.rss_mb = static_cast<double>(StatusBytes(program.pid(), "VmRSS").value_or(0)) / 1e6;
    result.anon_mb = static_cast<double>(StatusBytes(program.pid(), "RssAnon").value_or(0)) / 1e6;
    client->Exchange(R"({"event":"Shutdown"})", std::chrono::seconds(10));
    if (program.Wait(std::chrono::seconds(10)) != 0) {
        throw std::runtime_error("the program did not end cleanly after Shutdown");
    }
    return result;
}

int Run(int runs) {
    // The settings name a server; nothing is mailed here.
    const InstalledQuillet quillet(25);
    StartOnce(quillet);
    std::vector<double> socket_ms, shown_ms, reply_ms, rss_mb, anon_mb;
    for (int run = 0; run < runs; ++run) {
        const StartUp once = StartOnce(quillet);
        socket_ms.push_back(once.socket_ms);
        shown_ms.push_back(once.shown_ms);
        reply_ms.push_back(once.reply_ms);
        rss_mb.push_back(once.rss_mb);
        anon_mb.push_back(once.anon_mb);
    }
    const std::string of = " (median of " + std::to_string(runs) + ")";
    const std::string goal = "≤ " + Fixed(kGoalMs, 0, "ms");
    PrintRow("Start-up to the control socket" + of, Fixed(Median(socket_ms), 0, "ms"));
    PrintRow("Start-up to the main window shown" + of, Fixed(Median(shown_ms), 0, "ms"), goal,
             Median(shown_ms) <= kGoalMs);
    PrintRow("Start-up to the first QueryConnected answered" + of, Fixed(Median(reply_ms), 0, "ms"),
             goal, Median(reply_ms) <= kGoalMs);
    PrintRow("Memory at rest after start-up: RSS / of it anonymous",
             Fixed(Median(rss_mb), 1, "MB") + " / " + Fixed(Median(anon_mb), 1, "MB"));
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    return quillet::bench::BenchMain("bench-startup", argc, argv, quillet::bench::kDefaultRuns,
                                     &quillet::bench::Run);
}
