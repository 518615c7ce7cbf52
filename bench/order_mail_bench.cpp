// bench-order-mail [PAIRS]
//
// Order to mail: OrderPlaced events, after a Connect, go through the control socket of the
// real program to the SMTP server on 127.0.0.1; each is timed from writing the request to
// reading its reply, which comes once the server has accepted the mail. The floor is the same
// message sent by bench-mail-floor (plain libcurl, fresh connection) to the same server, asked
// and answered over a pipe.
//
// Samples come in pairs, one of each, the order within a pair alternating, so that what else
// the machine does falls on both alike. A short pause before every sample lets the previous
// one finish what it does after its reply (Quillet repaints its list then) so that it does not
// land on the next sample.
#include <signal.h>

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
#include "process_stats.h"
#include "support/local_smtp_server.h"
#include "temp_folder.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultPairs = 500;
constexpr int kWarmUp = 20;
constexpr int kRoundTrips = 300;
constexpr auto kSettle = std::chrono::milliseconds(5);
constexpr double kGoalRatio = 1.3;
constexpr auto kReplyLimit = std::chrono::seconds(60);

std::string Order(int id) {
    return R"({"event":"OrderPlaced","OrderId":")" + std::to_string(id) +
           R"(","Side":1,"Quantity":100,"Symbol":"XYZ","OrderType":3,"StopPrice":0,)"
           R"("LimitPrice":12.5,"Info4":"B","Info5":"C","Info6":"A"})";
}

// Times one order through Quillet; throws when the reply is not ok.
double QuilletSample(ControlClient& client, int id) {
    std::this_thread::sleep_for(kSettle);
    const auto start = std::chrono::steady_clock::now();
    const auto reply = client.Exchange(Order(id), kReplyLimit);
    const auto end = std::chrono::steady_clock::now();
    if (reply != R"({"ok":true})") {
        throw std::runtime_error("Quillet answered an order with " + reply.value_or("nothing"));
    }
    return Milliseconds(end - start);
}

// The floor program, running beside the benchmark for the whole run.
class Floor {
  public:
    Floor(const test::ReceivedMail& mail, int port, const TempFolder& folder) {
        const std::string message_file = folder.Path("message.eml");
        WriteWholeFile(message_file, mail.content);
        std::vector<std::string> argv{QUILLET_BENCH_DIR "/bench-mail-floor",
                                      "smtp://127.0.0.1:" + std::to_string(port), mail.mail_from,
                                      message_file};
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

std::string Ratio(double ratio) {
    return Fixed(ratio, 2, "") + "×";
}

std::string MedianAndP99(const std::vector<double>& ms) {
    return Fixed(Median(ms), 2, "ms") + " / " + Fixed(Percentile(ms, 99), 2, "ms");
}

int Run(int pairs) {
    const test::LocalSmtpServer server({});
    if (!server.error().empty()) {
        throw std::runtime_error(server.error());
    }
    InstalledQuillet quillet(server.port());
    ChildProcess program = quillet.Start();
    ControlClient client = quillet.Connect(std::chrono::seconds(20));
    if (client.Exchange(R"({"event":"Connect"})") != R"({"ok":true,"Answer":-1})") {
        throw std::runtime_error("Quillet did not take the Connect");
    }

    // The floor sends what Quillet sent for its first order, with the same envelope.
    int next_id = 1000;
    QuilletSample(client, next_id++);
    const auto first = server.Received();
    if (first.size() != 1) {
        throw std::runtime_error("the first order was not mailed");
    }
    TempFolder scratch;
    Floor floor(first.front(), server.port(), scratch);
    for (int i = 0; i < kWarmUp; ++i) {
        QuilletSample(client, next_id++);
        floor.Sample();
    }

    const auto quillet_cpu_before = CpuMilliseconds(program.pid());
    const auto floor_cpu_before = CpuMilliseconds(floor.pid());
    std::vector<double> quillet_ms, floor_ms;
    for (int i = 0; i < pairs; ++i) {
        if (i % 2 == 0) {
            quillet_ms.push_back(QuilletSample(client, next_id++));
            floor_ms.push_back(floor.Sample());
        } else {
            floor_ms.push_back(floor.Sample());
            quillet_ms.push_back(QuilletSample(client, next_id++));
        }
    }
    const auto quillet_cpu_after = CpuMilliseconds(program.pid());
    const auto floor_cpu_after = CpuMilliseconds(floor.pid());
    const size_t expected = 1 + 2 * static_cast<size_t>(kWarmUp + pairs);
    if (const size_t accepted = server.Received().size(); accepted != expected) {
        throw std::runtime_error("the server accepted " + std::to_string(accepted) +
                                 " messages, not " + std::to_string(expected));
    }

    // The control socket's own share: a request that mails nothing, after the same pause.
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
    client.Exchange(R"({"event":"Shutdown"})");
    program.Wait(std::chrono::seconds(10));

    const double median_ratio = Median(quillet_ms) / Median(floor_ms);
    const double p99_ratio = Percentile(quillet_ms, 99) / Percentile(floor_ms, 99);
    const std::string n = std::to_string(pairs);
    PrintRow("Order to mail, Quillet (" + n + " orders): median / p99", MedianAndP99(quillet_ms));
    PrintRow("Order to mail, libcurl floor (" + n + " messages): median / p99",
             MedianAndP99(floor_ms));
    PrintRow("Order to mail, Quillet ÷ floor, median", Ratio(median_ratio),
             "≤ " + Ratio(kGoalRatio), median_ratio <= kGoalRatio);
    PrintRow("Order to mail, Quillet ÷ floor, p99", Ratio(p99_ratio), "≤ " + Ratio(kGoalRatio),
             p99_ratio <= kGoalRatio);
    if (quillet_cpu_before && quillet_cpu_after && floor_cpu_before && floor_cpu_after) {
        PrintRow("CPU per order: Quillet (repaint included) / floor",
                 Fixed((*quillet_cpu_after - *quillet_cpu_before) / pairs, 2, "ms") + " / " +
                     Fixed((*floor_cpu_after - *floor_cpu_before) / pairs, 2, "ms"));
    }
    PrintRow("Control round trip without mail (QueryConnected), median",
             Fixed(Median(round_trip_ms) * 1000, 0, "µs"));
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    ::signal(SIGPIPE, SIG_IGN);
    const int pairs = argc > 1 ? std::atoi(argv[1]) : quillet::bench::kDefaultPairs;
    try {
        return quillet::bench::Run(pairs > 0 ? pairs : quillet::bench::kDefaultPairs);
    } catch (const std::exception& error) {
        std::cerr << "bench-order-mail: " << error.what() << '\n';
        return 1;
    }
}
