// quillet-feed [--socket PATH] [FILE...]
// quillet-feed [--socket PATH] --status
// quillet-feed [--socket PATH] --watch
// quillet-feed --version
//
// With --status, asks how the mail is doing ({"event": "Status"}) and prints the reply. With
// --watch, asks to watch the mails ({"event": "Watch"}) and prints each outcome's line as it
// comes, until Quillet ends (exit status 0) or the watch is ended. Else
// sends the request lines of the files (standard input when none is named, or for "-") to a
// running Quillet's control socket, one at a time: each line goes out, its reply line is awaited
// (at most two minutes, since a request may mail) and printed on standard output. Empty lines
// and lines of blanks only are skipped. A line longer than the control's limit is not sent; it
// is reported on standard error and counts as a failed request.
//
// The socket is PATH, else the one the program itself uses (QUILLET_SOCKET, XDG_RUNTIME_DIR,
// /tmp/quillet-<uid>/quillet.sock).
//
// Exit status: 0 when every reply had "ok": true; 1 when any did not (or a line was too long);
// 2 when the socket cannot be reached, the connection breaks, a reply does not come in time or
// is longer than 1 MiB, a file cannot be opened (all are opened before anything is sent), or the
// command line is wrong. Messages go to standard error.
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "app/wire/control_protocol.h"
#include "platform/control/control_socket_path.h"
#include "platform/unique_fd.h"

namespace {

constexpr auto kReplyLimit = std::chrono::seconds(120);
// The longest reply line taken: no reply of Quillet's comes near it.
constexpr size_t kMaxReplyBytes = 1024 * 1024;
constexpr int kAllOk = 0;
constexpr int kSomeFailed = 1;
constexpr int kBroken = 2;

struct CommandLine {
    std::string socket;              // empty: the program's own rule
    std::vector<std::string> files;  // empty: standard input
    std::string error;               // the command line is wrong
    bool help = false;
    bool status = false;  // ask for the mail's status only
    bool watch = false;   // print the mails' outcomes as they come
    bool version = false;
};

constexpr const char* kUsage =
    "usage: quillet-feed [--socket PATH] [FILE...]\n"
    "       quillet-feed [--socket PATH] --status\n"
    "       quillet-feed [--socket PATH] --watch\n"
    "       quillet-feed --version\n";

// --help: the usage, every option, the request lines and their replies, the exit status.
constexpr const char* kHelp =
    "Sends order events to a running Quillet, one JSON object a line, and prints each reply.\n"
    "\n"
    "Options:\n"
    "  --socket PATH   the control socket (also --socket=PATH); without it the program's own:\n"
    "                  $QUILLET_SOCKET, else $XDG_RUNTIME_DIR/quillet.sock, else\n"
    "                  /tmp/quillet-<uid>/quillet.sock\n"
    "  --status        ask how the mail is doing ({\"event\": \"Status\"}) and print the reply\n"
    "  --watch         watch the mails ({\"event\": \"Watch\"}): print one line per outcome\n"
    "                  (MailDelivered, MailWaiting, MailFailed) as it comes, until Quillet ends\n"
    "  --version       print the version and exit\n"
    "  -h, --help      print this help and exit\n"
    "  FILE...         the files of request lines, sent in turn; none or \"-\": standard input\n"
    "  --              what follows are files, even when they start with \"-\"\n"
    "\n"
    "Each line is one request; empty lines are skipped. For example:\n"
    "  {\"event\": \"Connect\"}\n"
    "  {\"event\": \"OrderPlaced\", \"OrderId\": \"77\", \"Side\": 1, \"Quantity\": 100,\n"
    "   \"Symbol\": \"XYZ\", \"OrderType\": 3, \"StopPrice\": 0, \"LimitPrice\": 12.5}\n"
    "  {\"event\": \"OrderFilled\", \"OrderId\": \"77\", \"Side\": 1, \"Symbol\": \"XYZ\",\n"
    "   \"Quantity\": 40, \"FilledQuantity\": 40, \"LeavesQuantity\": 60, \"FillPrice\": 12.5}\n"
    "  {\"event\": \"OrderRejected\", \"OrderId\": \"77\", \"Reason\": \"insufficient margin\"}\n"
    "  {\"event\": \"OrderExpired\", \"OrderId\": \"77\"}\n"
    "Events: OrderPlaced, OrderCancelled, OrderModified, OrderFilled, OrderRejected,\n"
    "OrderExpired, QueryConnected, Connect, Disconnect, Shutdown, Status, Show.\n"
    "OrderFilled: OrderId, Side, Symbol, Quantity (of this fill), FilledQuantity (so far),\n"
    "LeavesQuantity (left), FillPrice, Info4-Info6 (optional); its line reads\n"
    "  A - B - C - Filled: Buy 40 of 100 share(s) of XYZ at 12.5; 60 left  (OrderId=77)\n"
    "OrderRejected: OrderId, Reason; Side, Quantity, Symbol, Info4-Info6 (optional):\n"
    "  A - B - C - Rejected: Buy 100 share(s) of XYZ: insufficient margin  (OrderId=77)\n"
    "OrderExpired: OrderId: \"Expired Order: Orderid=77\". Their quantities may have a\n"
    "fraction (digits and one point, no exponent) and are shown as written, never rounded;\n"
    "OrderPlaced's Quantity is a whole number. Like OrderPlaced, they make lines only while\n"
    "the platform is connected.\n"
    "\n"
    "Each request gets one reply line, printed as it comes:\n"
    "  {\"ok\":true}                  handled; Connect and QueryConnected add \"Answer\"\n"
    "  {\"ok\":true,\"Mail\":\"kept\"}    an order whose mail is safe in the outbox\n"
    "  {\"ok\":false,\"error\":\"...\"}   refused, naming the field; nothing changed\n"
    "  {\"ok\":true,\"Connected\":true,\"Waiting\":0,\"Failed\":0,\"NotMailed\":0,...}\n"
    "                               Status: the connection and the mails (NotMailed: the\n"
    "                               orders not mailed, as e-mail was not set up)\n"
    "\n"
    "Exit status: 0 when every reply was ok, 1 when any was not (or a line was too long to\n"
    "send), 2 when Quillet cannot be reached, the connection breaks or the command line is\n"
    "wrong.\n";

CommandLine ReadCommandLine(int argc, char** argv) {
    CommandLine result;
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (options_end || argument == "-" || argument.empty() || argument.front() != '-') {
            result.files.push_back(argument);
        } else if (argument == "--") {
            options_end = true;
        } else if (argument == "--help" || argument == "-h") {
            result.help = true;
        } else if (argument == "--status") {
            result.status = true;
        } else if (argument == "--watch") {
            result.watch = true;
        } else if (argument == "--version") {
            result.version = true;
        } else if (argument == "--socket" && i + 1 < argc) {
            result.socket = argv[++i];
        } else if (argument.rfind("--socket=", 0) == 0) {
            result.socket = argument.substr(std::strlen("--socket="));
        } else {
            result.error = "unknown option or missing value: " + argument;
        }
    }
    if (result.status && !result.files.empty()) {
        result.error = "--status sends nothing else";
    }
    if (result.watch && (result.status || !result.files.empty())) {
        result.error = "--watch sends nothing else";
    }
    return result;
}

// Talks to the control socket one request at a time.
class Feeder {
  public:
    explicit Feeder(quillet::UniqueFd fd) : fd_(std::move(fd)) {}

    // Sends `line` and prints its reply. False when the connection broke (reported).
    bool Exchange(const std::string& line) {
        if (!SendAll(line + "\n")) {
            return false;
        }
        const std::optional<std::string> reply = ReadReply();
        if (!reply) {
            return false;
        }
        std::cout << *reply << '\n' << std::flush;
        if (!IsOk(*reply)) {
            any_failed_ = true;
        }
        return true;
    }

    // Prints every line that comes until the connection ends: true when Quillet closed it.
    bool Watch() {
        while (const std::optional<std::string> line = ReadReply(true)) {
            std::cout << *line << '\n' << std::flush;
            if (line->rfind("{\"ok\":false", 0) == 0) {
                return false;  // the watch was ended
            }
        }
        return ended_;
    }

    void NoteFailure() { any_failed_ = true; }
    bool any_failed() const { return any_failed_; }

  private:
    static bool IsOk(const std::string& reply) {
        const nlohmann::json parsed = nlohmann::json::parse(reply, nullptr, false);
        if (!parsed.is_object()) {
            return false;
        }
        const auto ok = parsed.find("ok");
        return ok != parsed.end() && ok->is_boolean() && ok->get<bool>();
    }

    bool SendAll(const std::string& data) {
        size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t count =
                send(fd_.get(), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                std::cerr << "quillet-feed: the connection broke while sending: "
                          << std::strerror(errno) << '\n';
                return false;
            }
            sent += static_cast<size_t>(count);
        }
        return true;
    }

    // The next line; with `forever`, however long it takes, and the end of the connection is
    // no error (ended_).
    std::optional<std::string> ReadReply(bool forever = false) {
        const auto deadline = forever ? std::chrono::steady_clock::time_point::max()
                                      : std::chrono::steady_clock::now() + kReplyLimit;
        while (true) {
            const size_t end = received_.find('\n');
            if (end != std::string::npos) {
                std::string reply = received_.substr(0, end);
                received_.erase(0, end + 1);
                if (!reply.empty() && reply.back() == '\r') {
                    reply.pop_back();
                }
                return reply;
            }
            if (received_.size() > kMaxReplyBytes) {
                std::cerr << "quillet-feed: the reply is longer than " << kMaxReplyBytes
                          << " bytes with no end of line: what answers is not Quillet\n";
                return std::nullopt;
            }
            const auto left = forever ? std::chrono::milliseconds(60000)
                                      : std::chrono::duration_cast<std::chrono::milliseconds>(
                                            deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                std::cerr << "quillet-feed: no reply within " << kReplyLimit.count()
                          << " seconds\n";
                return std::nullopt;
            }
            pollfd waiting{fd_.get(), POLLIN, 0};
            const int ready = poll(&waiting, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno != EINTR) {
                std::cerr << "quillet-feed: cannot wait for the reply: " << std::strerror(errno)
                          << '\n';
                return std::nullopt;
            }
            if (ready <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t count = recv(fd_.get(), buffer, sizeof(buffer), 0);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count == 0 && forever && received_.empty()) {
                ended_ = true;
                return std::nullopt;
            }
            if (count <= 0) {
                std::cerr << "quillet-feed: the connection broke before the reply"
                          << (count < 0 ? std::string(": ") + std::strerror(errno) : "") << '\n';
                return std::nullopt;
            }
            received_.append(buffer, static_cast<size_t>(count));
        }
    }

    quillet::UniqueFd fd_;
    std::string received_;
    bool any_failed_ = false;
    bool ended_ = false;  // the other end closed the connection between lines
};

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

// Feeds every line of `input`. False when the connection broke.
bool FeedStream(std::istream& input, const std::string& name, Feeder& feeder) {
    std::string line;
    for (size_t number = 1; std::getline(input, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (IsBlank(line)) {
            continue;
        }
        if (line.size() > quillet::kMaxControlLineBytes) {
            std::cerr << "quillet-feed: " << name << ", line " << number << ": longer than "
                      << quillet::kMaxControlLineBytes << " bytes; not sent\n";
            feeder.NoteFailure();
            continue;
        }
        if (!feeder.Exchange(line)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine command = ReadCommandLine(argc, argv);
    if (command.help) {
        std::cout << kUsage << '\n' << kHelp;
        return kAllOk;
    }
    if (command.version && command.error.empty()) {
        std::cout << "quillet-feed " QUILLET_VERSION "\n";
        return kAllOk;
    }
    if (!command.error.empty()) {
        std::cerr << "quillet-feed: " << command.error << '\n' << kUsage;
        return kBroken;
    }
    // Every file is opened before anything is sent, so that a wrong name sends nothing.
    const std::vector<std::string> files =
        command.files.empty() && !command.status && !command.watch ? std::vector<std::string>{"-"}
                                                                   : command.files;
    std::vector<std::unique_ptr<std::ifstream>> inputs;  // empty for standard input
    for (const std::string& file : files) {
        if (file == "-") {
            inputs.emplace_back();
            continue;
        }
        inputs.push_back(std::make_unique<std::ifstream>(file, std::ios::binary));
        if (!*inputs.back()) {
            std::cerr << "quillet-feed: cannot read " << file << ": " << std::strerror(errno)
                      << '\n';
            return kBroken;
        }
    }
    const std::string path =
        command.socket.empty()
            ? quillet::LocateControlSocket(quillet::CurrentControlSocketEnvironment()).path
            : command.socket;
    quillet::ControlSocketConnection connection = quillet::ConnectControlSocket(path);
    if (!connection.fd) {
        std::cerr << "quillet-feed: " << connection.error << " (is Quillet running?)\n";
        return kBroken;
    }
    Feeder feeder(std::move(connection.fd));
    if (command.status) {
        if (!feeder.Exchange(R"({"event":"Status"})")) {
            return kBroken;
        }
        return feeder.any_failed() ? kSomeFailed : kAllOk;
    }
    if (command.watch) {
        if (!feeder.Exchange(R"({"event":"Watch"})")) {
            return kBroken;
        }
        return feeder.any_failed() ? kSomeFailed : feeder.Watch() ? kAllOk : kBroken;
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        const bool whole = inputs[i] ? FeedStream(*inputs[i], files[i], feeder)
                                     : FeedStream(std::cin, "standard input", feeder);
        if (!whole) {
            return kBroken;
        }
        if (inputs[i] && inputs[i]->bad()) {
            std::cerr << "quillet-feed: reading " << files[i] << " failed\n";
            return kBroken;
        }
    }
    return feeder.any_failed() ? kSomeFailed : kAllOk;
}
