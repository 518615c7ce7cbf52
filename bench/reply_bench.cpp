// bench-reply [ORDERS]
//
// The platform's side of an order: how long its reply takes when the mail server is far away.
// A one-at-a-time client sends ORDERS orders (default 200), each once the reply to the last has
// come, while the program mails through a link of 20 ms round trip (a proxy on 127.0.0.1 that
// holds every byte 10 ms each way) to smtp-sink. Figures: the replies' median and p99, the time
// until every order was answered, and the time until every mail has arrived against the limit
// of one connection over that link: ORDERS times the median time of one mail sent with nothing
// but libcurl on a kept connection over the same link (bench-mail-floor --keep). Then a pipelined
// burst of 1,000 orders against smtp-sink directly: the flushes of the disk (fsync, fdatasync,
// syncfs) the program makes for it, counted by strace, per order. Between them, the replies of
// the same client while the server defers every other first attempt (bench/deferring_smtp.py).
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <iostream>
#include <mutex>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_table.h"
#include "child_process.h"
#include "control_client.h"
#include "installed_quillet.h"
#include "sink_servers.h"
#include "temp_folder.h"

namespace quillet::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kOneWay = std::chrono::milliseconds(10);
constexpr int kFloorSamples = 20;
constexpr int kBurst = 1000;

std::string Order(int id) {
    return R"({"event":"OrderPlaced","OrderId":")" + std::to_string(id) +
           R"(","Side":1,"Quantity":100,"Symbol":"XYZ","OrderType":1,"StopPrice":0,)"
           R"("LimitPrice":0})";
}

// A proxy on 127.0.0.1 to `target_port` that holds each byte `one_way` in each direction. Each
// connection has a thread per direction that reads, and one that writes what is due.
class DelayLink {
  public:
    DelayLink(int target_port, std::chrono::milliseconds one_way)
        : target_port_(target_port), one_way_(one_way) {
        listener_ = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address = Loopback(0);
        socklen_t size = sizeof address;
        if (!listener_ ||
            ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_.get(), 8) != 0 ||
            ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error("the delaying link cannot listen");
        }
        port_ = ntohs(address.sin_port);
        accepting_ = std::thread([this] { Accept(); });
    }
    ~DelayLink() {
        ::shutdown(listener_.get(), SHUT_RDWR);
        accepting_.join();
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    int port() const { return port_; }

  private:
    struct Pipe {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<std::pair<Clock::time_point, std::string>> due;  // empty text: the end
    };

    static sockaddr_in Loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        return address;
    }

    void Accept() {
        while (true) {
            const int client = ::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                return;
            }
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in target = Loopback(target_port_);
            if (::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            // A link carries what it is given as it comes: no small write waits for the
            // acknowledgement of the one before it, as it would with Nagle's algorithm here.
            const int on = 1;
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            Carry(client, server);
            Carry(server, client);
        }
    }

    // From `from` to `to`, late by one_way_; `to` is shut for writing once `from` has ended.
    void Carry(int from, int to) {
        auto pipe = std::make_shared<Pipe>();
        threads_.emplace_back([this, from, pipe] {
            char buffer[65536];
            ssize_t n;
            while ((n = ::recv(from, buffer, sizeof buffer, 0)) > 0) {
                const std::lock_guard lock(pipe->mutex);
                pipe->due.emplace_back(Clock::now() + one_way_,
                                       std::string(buffer, static_cast<size_t>(n)));
                pipe->ready.notify_one();
            }
            const std::lock_guard lock(pipe->mutex);
            pipe->due.emplace_back(Clock::now() + one_way_, std::string());
            pipe->ready.notify_one();
        });
        threads_.emplace_back([to, pipe] {
            while (true) {
                std::unique_lock lock(pipe->mutex);
                pipe->ready.wait(lock, [&] { return !pipe->due.empty(); });
                auto [at, text] = std::move(pipe->due.front());
                pipe->due.pop_front();
                lock.unlock();
                std::this_thread::sleep_until(at);
                if (text.empty() || !WriteAll(to, text)) {
                    ::shutdown(to, SHUT_WR);
                    return;
                }
            }
        });
    }

    int target_port_;
    std::chrono::milliseconds one_way_;
    UniqueFd listener_;
    int port_ = 0;
    std::thread accepting_;
    std::vector<std::thread> threads_;  // the accepting thread's alone until it ends
};

// Waits until `sink` holds `count` messages, at most `limit`: when the last came, or nothing.
std::optional<Clock::time_point> AllArrived(const SmtpSink& sink, size_t count,
                                            std::chrono::seconds limit) {
    const auto give_up = Clock::now() + limit;
    while (Clock::now() < give_up) {
        if (sink.Messages().size() >= count) {
            return Clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

// The median time of one mail sent by libcurl alone on a kept connection through `port`.
double OneMailOverTheLink(const SunkMail& mail, int port) {
    TempFolder folder;
    const std::string message_file = folder.Path("message.eml");
    WriteWholeFile(message_file, mail.content);
    std::vector<std::string> argv{QUILLET_BENCH_DIR "/bench-mail-floor", "--keep",
                                  "smtp://127.0.0.1:" + std::to_string(port), mail.mail_from,
                                  message_file};
    argv.insert(argv.end(), mail.rcpt_to.begin(), mail.rcpt_to.end());
    ChildOptions options;
    options.pipe_stdin = true;
    options.pipe_stdout = true;
    ChildProcess floor(argv, options);
    std::string buffer;
    std::vector<double> samples;
    for (int i = 0; i <= kFloorSamples; ++i) {  // the first opens the connection
        const auto start = Clock::now();
        if (!WriteAll(floor.stdin_fd(), "send\n") ||
            ReadLine(floor.stdout_fd(), buffer, std::chrono::seconds(30)) != "ok") {
            throw std::runtime_error("libcurl alone could not send over the link");
        }
        if (i > 0) {
            samples.push_back(Milliseconds(Clock::now() - start));
        }
    }
    return Median(samples);
}

// The client of a started program, connected.
ControlClient Connected(const InstalledQuillet& quillet) {
    ControlClient client = quillet.Connect(std::chrono::seconds(20));
    if (!client.Exchange(R"({"event":"Connect"})")) {
        throw std::runtime_error("the program does not answer");
    }
    return client;
}

// The program mailing through the delaying link to the server at `smtp_port`, its platform
// connected; everything stops when it goes.
struct OverTheLink {
    explicit OverTheLink(int smtp_port)
        : link(smtp_port, kOneWay),
          quillet(link.port()),
          program(quillet.Start()),
          client(Connected(quillet)) {}
    DelayLink link;
    InstalledQuillet quillet;
    ChildProcess program;
    ControlClient client;
};

// Sends `orders` orders one at a time over `client`: each reply's time in milliseconds, and
// when the first went and the last came.
std::vector<double> SendOneAtATime(ControlClient& client, int orders, Clock::time_point& start,
                                   Clock::time_point& answered) {
    std::vector<double> replies;
    start = Clock::now();
    for (int id = 1; id <= orders; ++id) {
        const auto sent = Clock::now();
        const auto reply = client.Exchange(Order(id));
        if (reply != R"({"ok":true,"Mail":"kept"})") {
            throw std::runtime_error("order " + std::to_string(id) + ": " + reply.value_or("-"));
        }
        replies.push_back(Milliseconds(Clock::now() - sent));
    }
    answered = Clock::now();
    return replies;
}

// The same against a server that defers every other first attempt, over the link.
void AgainstADeferringServer(int orders) {
    DeferringServer server;
    OverTheLink run(server.port());
    Clock::time_point start, answered;
    const std::vector<double> replies = SendOneAtATime(run.client, orders, start, answered);
    const double answered_ms = Milliseconds(answered - start);
    const double p99 = Percentile(replies, 99);
    PrintRow("The same, the server deferring half the first attempts: all " +
                 std::to_string(orders) + " answered (reply p99 " + Fixed(p99, 2, "ms") + ")",
             Fixed(answered_ms, 0, "ms"), "≤ 1000 ms", answered_ms <= 1000);
}

void OneAtATime(int orders) {
    SmtpSink sink(0, true);
    OverTheLink run(sink.port());
    Clock::time_point start, answered;
    const std::vector<double> replies = SendOneAtATime(run.client, orders, start, answered);
    const double answered_ms = Milliseconds(answered - start);
    const auto arrived = AllArrived(sink, static_cast<size_t>(orders), std::chrono::minutes(5));
    if (!arrived) {
        throw std::runtime_error("the mails did not all arrive");
    }
    const std::vector<SunkMail> mails = sink.Messages();
    std::set<std::string> subjects;
    for (const SunkMail& mail : mails) {
        const std::smatch found = [&] {
            std::smatch m;
            std::regex_search(mail.content, m, std::regex("Subject: ([^\r]*)"));
            return m;
        }();
        subjects.insert(found.empty() ? "" : found[1].str());
    }
    const std::string n = std::to_string(orders);
    const double p99 = Percentile(replies, 99);
    PrintRow(n + " orders one at a time, mail over a 20 ms link: reply median / p99",
             Fixed(Median(replies), 2, "ms") + " / " + Fixed(p99, 2, "ms"), "p99 ≤ 5 ms", p99 <= 5);
    PrintRow("The same: all " + n + " answered", Fixed(answered_ms, 0, "ms"), "≤ 1000 ms",
             answered_ms <= 1000);
    const double limit_ms = orders * OneMailOverTheLink(mails.at(0), run.link.port());
    const double ratio = Milliseconds(*arrived - start) / limit_ms;
    PrintRow("The same: all " + n + " mails arrived (" + std::to_string(subjects.size()) +
                 " different), against one connection's limit of " + Fixed(limit_ms, 0, "ms"),
             Fixed(ratio, 2, "x"), "≤ 1.05x, each once",
             ratio <= 1.05 && subjects.size() == static_cast<size_t>(orders) &&
                 mails.size() == static_cast<size_t>(orders));
}

// The number strace counted for the calls of its summary's last line ("total"), whose columns
// are the share of time, the seconds, the microseconds a call, the calls, and the errors when
// there were any.
long CountedCalls(const std::string& summary) {
    std::smatch total;
    if (!std::regex_search(
            summary, total,
            std::regex(R"(\n\s*[.0-9]+\s+[.0-9]+\s+[0-9]+\s+([0-9]+)\s+([0-9]+\s+)?total)"))) {
        throw std::runtime_error("strace gave no total: " + summary);
    }
    return std::stol(total[1].str());
}

void Burst() {
    SmtpSink sink(0, false);
    InstalledQuillet quillet(sink.port());
    ChildProcess program = quillet.Start();
    ControlClient client = Connected(quillet);
    ChildOptions options;
    options.pipe_stderr = true;
    ChildProcess strace({"/usr/bin/strace", "-f", "-c", "-e", "trace=fsync,fdatasync,syncfs", "-p",
                         std::to_string(program.pid())},
                        options);
    std::this_thread::sleep_for(std::chrono::seconds(1));  // attached to every thread
    std::string lines;
    for (int id = 1; id <= kBurst; ++id) {
        lines += Order(id) + "\n";
    }
    if (!WriteAll(client.fd(), lines)) {
        throw std::runtime_error("the burst could not be sent");
    }
    for (int i = 0; i < kBurst; ++i) {
        if (!client.Receive(std::chrono::seconds(60))) {
            throw std::runtime_error("the burst was not answered");
        }
    }
    const auto status = [&] { return client.Exchange(R"({"event":"Status"})").value_or(""); };
    for (int i = 0; i < 600 && status().find("\"Waiting\":0,") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(strace.pid(), SIGINT);
    strace.Wait(std::chrono::seconds(10));
    std::string summary, buffer;
    while (const auto line = ReadLine(strace.stderr_fd(), buffer, std::chrono::seconds(5))) {
        summary += *line + "\n";
    }
    const double per_order = static_cast<double>(CountedCalls(summary)) / kBurst;
    PrintRow(
        "A pipelined burst of 1000 orders: flushes of the disk per order (all of the "
        "program's, the journal's and the outbox's removals included)",
        Fixed(per_order, 3, ""), "≤ 0.2", per_order <= 0.2);
}

int Run(int orders) {
    OneAtATime(orders);
    AgainstADeferringServer(orders);
    Burst();
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    return quillet::bench::BenchMain("bench-reply", argc, argv, 200, &quillet::bench::Run);
}
