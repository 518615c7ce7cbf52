// bench-silent-client [SECONDS]
//
// Clients that send and never read their replies: one sends lines that are refused (60 KB
// each, with an error reply), one sends Status requests, both as fast as the program takes
// them, for SECONDS (default 10). Meanwhile another client asks Status every 100 ms. Figures:
// the program's resident memory above what it was before the silent clients came (its
// greatest, sampled every 100 ms), and the time of the other client's replies.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_table.h"
#include "control_client.h"
#include "installed_quillet.h"
#include "process_stats.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultSeconds = 10;
constexpr double kMemoryGoalMiB = 64;
constexpr double kReplyGoalMs = 100;

// Sends `line` on `fd` without waiting, as often as the socket takes it whole.
void SendWhatFits(int fd, const std::string& line, std::string& unsent) {
    for (int i = 0; i < 1000; ++i) {
        if (unsent.empty()) {
            unsent = line;
        }
        const ssize_t n = ::send(fd, unsent.data(), unsent.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0) {
            return;  // full (or closed): the program reads no further
        }
        unsent.erase(0, static_cast<size_t>(n));
    }
}

int Run(int seconds) {
    InstalledQuillet quillet(1);  // no order is sent: the mail server does not matter
    ChildProcess program = quillet.Start();
    ControlClient other = quillet.Connect(std::chrono::seconds(20));
    if (!other.Exchange(R"({"event":"Status"})")) {
        throw std::runtime_error("the program does not answer");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto rss = [&] {
        const auto bytes = StatusBytes(program.pid(), "VmRSS");
        if (!bytes) {
            throw std::runtime_error("the program has gone");
        }
        return static_cast<double>(*bytes);
    };
    const double before = rss();
    ControlClient refused(quillet.socket());
    ControlClient statuses(quillet.socket());
    const std::string refused_line =
        R"({"event":"Bogus","pad":")" + std::string(60 * 1024, 'x') + "\"}\n";
    const std::string status_line = "{\"event\":\"Status\"}\n";
    std::string refused_unsent, status_unsent;
    double most = before;
    std::vector<double> replies;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    auto next_ask = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
        SendWhatFits(refused.fd(), refused_line, refused_unsent);
        SendWhatFits(statuses.fd(), status_line, status_unsent);
        if (std::chrono::steady_clock::now() >= next_ask) {
            next_ask += std::chrono::milliseconds(100);
            const auto asked = std::chrono::steady_clock::now();
            if (!other.Exchange(R"({"event":"Status"})", std::chrono::seconds(10))) {
                throw std::runtime_error("the other client got no answer");
            }
            replies.push_back(Milliseconds(std::chrono::steady_clock::now() - asked));
            most = std::max(most, rss());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double grown_mib = (most - before) / (1024.0 * 1024.0);
    PrintRow("Clients that never read, " + std::to_string(seconds) +
                 " s: the program's memory above its start (most)",
             Fixed(grown_mib, 1, "MiB"), "≤ " + Fixed(kMemoryGoalMiB, 0, "MiB"),
             grown_mib <= kMemoryGoalMiB);
    const double p99 = Percentile(replies, 99);
    PrintRow("Meanwhile another client's Status: median / p99",
             Fixed(Median(replies), 2, "ms") + " / " + Fixed(p99, 2, "ms"),
             "p99 ≤ " + Fixed(kReplyGoalMs, 0, "ms"), p99 <= kReplyGoalMs);
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    return quillet::bench::BenchMain("bench-silent-client", argc, argv,
                                     quillet::bench::kDefaultSeconds, &quillet::bench::Run);
}
