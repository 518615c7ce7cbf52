// bench-order-mail [PAIRS]
//
// Order to mail: OrderPlaced events, after a Connect, go through the control socket of the
// real program to an SMTP server on 127.0.0.1; each is timed from writing the request to
// reading the line that a second connection, watching the mails ({"event":"Watch"}), gets once
// the server has accepted the mail (MailDelivered); the order's reply comes before, once the
// mail is kept. The floor is the same
// message sent by bench-mail-floor (plain libcurl, fresh connection) to the same server, asked
// and answered over a pipe.
//
// The server is Postfix's smtp-sink, fast enough to hide nothing that the program adds. It is
// measured plain, and with TLS from the first byte through stunnel in front of the same
// smtp-sink on 127.0.0.1:465 (SSL on at port 465), the program and the floor trusting a CA made
// for the run. When 465 cannot be had the TLS figures are left out, saying why. Each twice: the
// program with a fresh connection per mail (QUILLET_SMTP_KEEP_SECONDS=0), as the floor, and with
// its connection kept between mails, as it runs. Beside the kept connection, libcurl alone on one
// kept connection (bench-mail-floor --keep) is timed too: the bare exchange, which shows what
// the program adds to it, the hand-over to the mail thread among it.
//
// Samples come in pairs, one of each, the order within a pair alternating (in threes, rotating,
// with the bare exchange), so that what else the machine does falls on all alike. A short pause
// before every sample lets the previous one finish what it does after its reply (Quillet repaints
// its list then) so that it does not land on the next sample.
#include <signal.h>

#include <cstdlib>
#include <functional>
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
#include "process_stats.h"
#include "sink_servers.h"
#include "temp_folder.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultPairs = 500;
constexpr int kWarmUp = 20;
constexpr int kRoundTrips = 300;
constexpr auto kSettle = std::chrono::milliseconds(5);

// Goals, as ratios to the floor's figure; 0 for none.
struct Goals {
    double median = 0;
    double p99 = 0;
    double cpu = 0;
};
constexpr Goals kPlainFresh{1.1, 1.5, 1.5};
constexpr Goals kPlainKept{0.9, 0, 0};
constexpr Goals kTlsFresh{};
constexpr Goals kTlsKept{0.25, 0, 0};
constexpr auto kReplyLimit = std::chrono::seconds(60);

std::string Order(int id) {
    return R"({"event":"OrderPlaced","OrderId":")" + std::to_string(id) +
           R"(","Side":1,"Quantity":100,"Symbol":"XYZ","OrderType":3,"StopPrice":0,)"
           R"("LimitPrice":12.5,"Info4":"B","Info5":"C","Info6":"A"})";
}

// Times one order through Quillet until `watcher` is told its mail was delivered; throws when
// the reply is not ok or the mail is not delivered.
double QuilletSample(ControlClient& client, ControlClient& watcher, int id) {
    std::this_thread::sleep_for(kSettle);
    const auto start = std::chrono::steady_clock::now();
    const auto reply = client.Exchange(Order(id), kReplyLimit);
    if (reply != R"({"ok":true,"Mail":"kept"})") {
        throw std::runtime_error("Quillet answered an order with " + reply.value_or("nothing"));
    }
    const std::string delivered =
        R"({"event":"MailDelivered","OrderId":")" + std::to_string(id) + "\"";
    while (true) {
        const auto line = watcher.Receive(kReplyLimit);
        if (!line || line->rfind(R"({"event":"MailDelivered")", 0) != 0) {
            throw std::runtime_error("the mail was not delivered: " + line.value_or("nothing"));
        }
        if (line->rfind(delivered, 0) == 0) {
            return Milliseconds(std::chrono::steady_clock::now() - start);
        }
    }
}

// The floor program, running beside the benchmark for as long as the object lives.
class Floor {
  public:
    // Sends `mail` to `url`; with `ca_file`, trusting the CAs in it; with `keep`, on one kept
    // connection.
    Floor(const SunkMail& mail, const std::string& url, const std::string& ca_file,
          const TempFolder& folder, bool keep = false) {
        // Its own file: another floor may still be reading the first.
        const std::string message_file = folder.Path(keep ? "message-kept.eml" : "message.eml");
        WriteWholeFile(message_file, mail.content);
        std::vector<std::string> argv{QUILLET_BENCH_DIR "/bench-mail-floor"};
        if (keep) {
            argv.emplace_back("--keep");
        }
        if (!ca_file.empty()) {
            argv.insert(argv.end(), {"--cacert", ca_file});
        }
        argv.insert(argv.end(), {url, mail.mail_from, message_file});
        argv.insert(argv.end(), mail.rcpt_to.begin(), mail.rcpt_to.end());
        ChildOptions options;
        options.pipe_stdin = true;
        options.pipe_stdout = true;
        process_.emplace(argv, options);
    }

    pid_t pid() const { return process_->pid(); }

    // Times one message; throws when it was not sent.
    double Sample() {
        std::this_thread::sleep_for(kSettle);
        const auto start = std::chrono::steady_clock::now();
        const bool asked = WriteAll(process_->stdin_fd(), "send\n");
        const auto reply = ReadLine(process_->stdout_fd(), buffer_, kReplyLimit);
        const auto end = std::chrono::steady_clock::now();
        if (!asked || reply != "ok") {
            throw std::runtime_error("the floor program answered " + reply.value_or("nothing"));
        }
        return Milliseconds(end - start);
    }

  private:
    std::optional<ChildProcess> process_;
    std::string buffer_;
};

// The program, installed and started with its settings, after a Connect.
class Program {
  public:
    Program(int port, bool keep, bool ssl = false, const std::string& ca_file = "")
        : installed_(port, ssl, ca_file, {{"QUILLET_SMTP_KEEP_SECONDS", keep ? "60" : "0"}}),
          process_(installed_.Start()),
          client_(installed_.Connect(std::chrono::seconds(20))) {
        if (client_.Exchange(R"({"event":"Connect"})") != R"({"ok":true,"Answer":-1})" ||
            watcher_.Exchange(R"({"event":"Watch"})") != R"({"ok":true,"Watching":true})") {
            throw std::runtime_error("Quillet did not take the Connect and the Watch");
        }
    }

    pid_t pid() const { return process_.pid(); }
    ControlClient& client() { return client_; }
    ControlClient& watcher() { return watcher_; }

    void Shutdown() {
        client_.Exchange(R"({"event":"Shutdown"})");
        process_.Wait(std::chrono::seconds(10));
    }

  private:
    InstalledQuillet installed_;
    ChildProcess process_;
    ControlClient client_;
    ControlClient watcher_{installed_.socket()};  // told of each mail's outcome
};

std::string Ratio(double ratio) {
    return Fixed(ratio, 2, "") + "×";
}

std::string MedianAndP99(const std::vector<double>& ms) {
    return Fixed(Median(ms), 2, "ms") + " / " + Fixed(Percentile(ms, 99), 2, "ms");
}

void PrintRatio(const std::string& figure, double ratio, double goal) {
    if (goal > 0) {
        PrintRow(figure, Ratio(ratio), "≤ " + Ratio(goal), ratio <= goal);
    } else {
        PrintRow(figure, Ratio(ratio));
    }
}

// Warms them up, then times `pairs` pairs (threes, with `alone`, the bare kept exchange) and
// prints their rows under `label`.
void MeasurePairs(const std::string& label, Program& program, Floor& floor, Floor* alone, int pairs,
                  int& next_id, const Goals& goals) {
    std::vector<double> quillet_ms, floor_ms, alone_ms;
    std::vector<std::function<void()>> takers{
        [&] {
            quillet_ms.push_back(QuilletSample(program.client(), program.watcher(), next_id++));
        },
        [&] { floor_ms.push_back(floor.Sample()); }};
    if (alone != nullptr) {
        takers.emplace_back([&] { alone_ms.push_back(alone->Sample()); });
    }
    for (int i = 0; i < kWarmUp; ++i) {
        for (const auto& take : takers) {
            take();
        }
    }
    quillet_ms.clear();
    floor_ms.clear();
    alone_ms.clear();
    const auto quillet_cpu_before = CpuMilliseconds(program.pid());
    const auto floor_cpu_before = CpuMilliseconds(floor.pid());
    for (size_t i = 0; i < static_cast<size_t>(pairs); ++i) {
        for (size_t k = 0; k < takers.size(); ++k) {
            takers[(i + k) % takers.size()]();
        }
    }
    const auto quillet_cpu_after = CpuMilliseconds(program.pid());
    const auto floor_cpu_after = CpuMilliseconds(floor.pid());

    const double median_ratio = Median(quillet_ms) / Median(floor_ms);
    const double p99_ratio = Percentile(quillet_ms, 99) / Percentile(floor_ms, 99);
    const std::string n = std::to_string(pairs);
    PrintRow("Order to mail, " + label + ", Quillet (" + n + " orders): median / p99",
             MedianAndP99(quillet_ms));
    PrintRow("Order to mail, " + label + ", libcurl floor (" + n + " messages): median / p99",
             MedianAndP99(floor_ms));
    PrintRatio("Order to mail, " + label + ", Quillet ÷ floor, median", median_ratio, goals.median);
    PrintRatio("Order to mail, " + label + ", Quillet ÷ floor, p99", p99_ratio, goals.p99);
    if (alone != nullptr) {
        PrintRow("Order to mail, " + label + ", libcurl alone on one kept connection (" + n +
                     " messages): median / p99",
                 MedianAndP99(alone_ms));
        PrintRatio("Order to mail, " + label + ", libcurl alone ÷ floor, median",
                   Median(alone_ms) / Median(floor_ms), 0);
        PrintRow("Order to mail, " + label + ", Quillet less libcurl alone, median",
                 Fixed((Median(quillet_ms) - Median(alone_ms)) * 1000, 0, "µs"));
    }
    if (quillet_cpu_before && quillet_cpu_after && floor_cpu_before && floor_cpu_after) {
        const double quillet_cpu = (*quillet_cpu_after - *quillet_cpu_before) / pairs;
        const double floor_cpu = (*floor_cpu_after - *floor_cpu_before) / pairs;
        PrintRow("CPU per order, " + label + ": Quillet (repaint included) / floor",
                 Fixed(quillet_cpu, 2, "ms") + " / " + Fixed(floor_cpu, 2, "ms"));
        PrintRatio("CPU per order, " + label + ", Quillet ÷ floor", quillet_cpu / floor_cpu,
                   goals.cpu);
    }
}

// The control socket's own share: a request that mails nothing, after the same pause.
void MeasureRoundTrips(ControlClient& client) {
    std::vector<double> round_trip_ms;
    for (int i = 0; i < kRoundTrips; ++i) {
        std::this_thread::sleep_for(kSettle);
        const auto start = std::chrono::steady_clock::now();
        const auto reply = client.Exchange(R"({"event":"QueryConnected"})");
        round_trip_ms.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
        if (!reply || reply->find("\"ok\":true") == std::string::npos) {
            throw std::runtime_error("QueryConnected failed");
        }
    }
    PrintRow("Control round trip without mail (QueryConnected), median",
             Fixed(Median(round_trip_ms) * 1000, 0, "µs"));
}

int Run(int pairs) {
    // The message the floor sends is the one Quillet sent for its first order, with the same
    // envelope: a first smtp-sink writes that one down, then another takes its port and only
    // counts, so that no sample waits for a disk.
    std::optional<SmtpSink> recorder(std::in_place, 0, true);
    const int port = recorder->port();
    std::optional<Program> plain(std::in_place, port, false);
    int next_id = 1000;
    QuilletSample(plain->client(), plain->watcher(), next_id++);
    const std::vector<SunkMail> first = recorder->Messages();
    if (first.size() != 1) {
        throw std::runtime_error("the first order was not mailed");
    }
    recorder.reset();
    SmtpSink sink(port, false);
    TempFolder scratch;
    size_t sent = 0;
    {
        Floor floor(first.front(), "smtp://127.0.0.1:" + std::to_string(port), "", scratch);
        Floor alone(first.front(), "smtp://127.0.0.1:" + std::to_string(port), "", scratch, true);
        MeasurePairs("plain, fresh connection", *plain, floor, nullptr, pairs, next_id,
                     kPlainFresh);
        MeasureRoundTrips(plain->client());
        plain->Shutdown();
        plain.emplace(port, true);
        MeasurePairs("plain, kept connection", *plain, floor, &alone, pairs, next_id, kPlainKept);
        plain->Shutdown();
        sent += 5 * static_cast<size_t>(kWarmUp + pairs);
    }

    if (const std::string problem = TlsFront::PortProblem(); !problem.empty()) {
        std::cerr << "bench-order-mail: " << problem << ": no TLS figures\n";
        PrintRow("Order to mail, TLS from the first byte", "skipped: " + problem);
    } else {
        const TlsFront front(sink.port());
        const std::string tls_url = "smtps://127.0.0.1:" + std::to_string(TlsFront::kPort);
        Floor floor(first.front(), tls_url, front.ca_file(), scratch);
        Floor alone(first.front(), tls_url, front.ca_file(), scratch, true);
        for (const bool keep : {false, true}) {
            Program tls(TlsFront::kPort, keep, true, front.ca_file());
            MeasurePairs(keep ? "TLS, kept connection" : "TLS, fresh connection", tls, floor,
                         keep ? &alone : nullptr, pairs, next_id, keep ? kTlsKept : kTlsFresh);
            tls.Shutdown();
        }
        sent += 5 * static_cast<size_t>(kWarmUp + pairs);
    }
    if (const auto accepted = sink.Stop(); accepted != static_cast<long>(sent)) {
        throw std::runtime_error("smtp-sink accepted " +
                                 (accepted ? std::to_string(*accepted) : "an unknown number of") +
                                 " messages, not " + std::to_string(sent));
    }
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    return quillet::bench::BenchMain("bench-order-mail", argc, argv, quillet::bench::kDefaultPairs,
                                     &quillet::bench::Run);
}
