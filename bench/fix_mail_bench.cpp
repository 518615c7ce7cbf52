// Execution report -> mail through the FIX drop copy, against order -> mail through the control
// socket, side by side in one run of the program, mailing to Postfix's smtp-sink on 127.0.0.1.
// The counterparty is the tests' QuickFIX acceptor (tests/integration/fix_counterparty.cpp),
// told to send each New report on its standard input.
//
// Each sample is timed from writing the OrderPlaced line to the socket, or the report line to the
// counterparty, until the program's Status counts the mail delivered, asked again and again
// over a second socket connection (each asking ~0.1 ms, see bench-http); the order's reply comes
// before, once the mail is kept. Samples
// alternate, one of each, with a short pause before each, so that both see the same machine.
#include <chrono>
#include <filesystem>
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
#include "sink_servers.h"
#include "temp_folder.h"

namespace quillet::bench {
namespace {

constexpr int kFixPort = 18933;
constexpr int kWarmUp = 10;
constexpr int kPairs = 200;
constexpr auto kSettle = std::chrono::milliseconds(5);
constexpr auto kLimit = std::chrono::seconds(30);

std::string Sessions(const std::string& common, const std::string& session) {
    return "[DEFAULT]\nStartTime=00:00:00\nEndTime=00:00:00\nBeginString=FIX.4.4\n" + common +
           "[SESSION]\n" + session;
}

// The mails the program counts delivered, from its Status reply.
long Delivered(ControlClient& status) {
    const std::string reply = status.Exchange(R"({"event":"Status"})").value_or("");
    const size_t at = reply.find("\"Delivered\":");
    if (at == std::string::npos) {
        throw std::runtime_error("Status without Delivered: " + reply);
    }
    return std::stol(reply.substr(at + 12));
}

// The acceptor the program logs on to, started by the constructor, stopped when it goes.
class Counterparty {
  public:
    Counterparty() {
        WriteWholeFile(
            folder_.Path("broker.cfg"),
            Sessions("ConnectionType=acceptor\nSocketAcceptPort=" + std::to_string(kFixPort) +
                         "\nFileStorePath=" + folder_.Path("store") + "\nFileLogPath=" +
                         folder_.Path("log") + "\nDataDictionary=" FIX44_PATH "\n",
                     "SenderCompID=BROKER\nTargetCompID=QUILLET\n"));
        ChildOptions options;
        options.pipe_stdin = true;
        options.pipe_stdout = true;
        process_.emplace(
            std::vector<std::string>{FIX_COUNTERPARTY_PATH, folder_.Path("broker.cfg")}, options);
        Await("listening");
    }
    // Waits for the counterparty to print `what`; throws when it does not within kLimit.
    void Await(const std::string& what) {
        for (std::optional<std::string> line;
             (line = ReadLine(process_->stdout_fd(), buffer_, kLimit));) {
            if (*line == what) {
                return;
            }
        }
        throw std::runtime_error("the FIX counterparty did not say " + what);
    }
    void Tell(const std::string& command) {
        if (!WriteAll(process_->stdin_fd(), command + "\n")) {
            throw std::runtime_error("the FIX counterparty stopped");
        }
    }

  private:
    TempFolder folder_;
    std::optional<ChildProcess> process_;
    std::string buffer_;
};

int Run() {
    SmtpSink sink(0, false);
    Counterparty broker;
    InstalledQuillet quillet(sink.port());
    std::filesystem::copy_file(FIX44_PATH, quillet.folder() + "/FIX44.xml");
    WriteWholeFile(quillet.folder() + "/quillet-fix.cfg",
                   Sessions("ConnectionType=initiator\nHeartBtInt=30\nReconnectInterval=1\n",
                            "SenderCompID=QUILLET\nTargetCompID=BROKER\n"
                            "SocketConnectHost=127.0.0.1\nSocketConnectPort=" +
                                std::to_string(kFixPort) + "\n"));
    ChildProcess program = quillet.Start();
    ControlClient orders = quillet.Connect(std::chrono::seconds(20));
    ControlClient status = quillet.Connect(std::chrono::seconds(20));
    broker.Await("logon");  // a Connect for the program

    long delivered = Delivered(status);
    int id = 0;
    auto by_fix = [&] {
        std::this_thread::sleep_for(kSettle);
        const std::string exec = "E" + std::to_string(++id);
        const auto start = std::chrono::steady_clock::now();
        broker.Tell("report 0 " + exec + " " + std::to_string(id) + " 1 2 100 12.5 0");
        while (Delivered(status) <= delivered) {
            if (std::chrono::steady_clock::now() - start > kLimit) {
                throw std::runtime_error("no mail for execution report " + exec);
            }
        }
        ++delivered;
        return Milliseconds(std::chrono::steady_clock::now() - start);
    };
    auto by_socket = [&] {
        std::this_thread::sleep_for(kSettle);
        const std::string order = R"({"event":"OrderPlaced","OrderId":")" + std::to_string(++id) +
                                  R"(","Side":1,"Quantity":100,"Symbol":"XYZ","OrderType":2,)"
                                  R"("StopPrice":0,"LimitPrice":12.5})";
        const auto start = std::chrono::steady_clock::now();
        const auto reply = orders.Exchange(order, kLimit);
        if (reply != R"({"ok":true,"Mail":"kept"})") {
            throw std::runtime_error("an order was answered with " + reply.value_or("nothing"));
        }
        while (Delivered(status) <= delivered) {
            if (std::chrono::steady_clock::now() - start > kLimit) {
                throw std::runtime_error("no mail for order " + std::to_string(id));
            }
        }
        ++delivered;
        return Milliseconds(std::chrono::steady_clock::now() - start);
    };
    for (int i = 0; i < kWarmUp; ++i) {
        by_fix();
        by_socket();
    }
    std::vector<double> fix, socket;
    for (int i = 0; i < kPairs; ++i) {
        fix.push_back(by_fix());
        socket.push_back(by_socket());
    }
    const double fix_median = Median(fix);
    const double socket_median = Median(socket);
    const double fix_p99 = Percentile(fix, 99);
    const double socket_p99 = Percentile(socket, 99);
    PrintRow("FIX execution report -> mail, median", Fixed(fix_median, 2, "ms"));
    PrintRow("FIX execution report -> mail, p99", Fixed(fix_p99, 2, "ms"));
    PrintRow("Socket order -> mail (same run), median", Fixed(socket_median, 2, "ms"));
    PrintRow("Socket order -> mail (same run), p99", Fixed(socket_p99, 2, "ms"));
    PrintRow("FIX / socket, report -> mail (median)", Fixed(fix_median / socket_median, 2, "x"));
    PrintRow("FIX / socket, report -> mail (p99)", Fixed(fix_p99 / socket_p99, 2, "x"));
    orders.Exchange(R"({"event":"Shutdown"})");
    program.Wait(std::chrono::seconds(10));
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main() {
    try {
        return quillet::bench::Run();
    } catch (const std::exception& e) {
        std::cerr << "bench-fix-mail: " << e.what() << '\n';
        return 1;
    }
}
