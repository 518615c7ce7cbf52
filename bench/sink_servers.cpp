#include "sink_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "platform/unique_fd.h"

namespace quillet::bench {
namespace {

constexpr const char* kSmtpSink = "/usr/sbin/smtp-sink";
constexpr const char* kStunnel = "/usr/bin/stunnel4";
constexpr const char* kOpenssl = "/usr/bin/openssl";
constexpr auto kStartLimit = std::chrono::seconds(10);

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port on 127.0.0.1 that nothing listens on just now.
int FreePort() {
    const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error(std::string("no free port: ") + std::strerror(errno));
    }
    return ntohs(address.sin_port);
}

// Waits until 127.0.0.1:`port` takes connections; throws when `server` ends first or the time
// is up.
void AwaitListening(int port, ChildProcess& server, const std::string& name) {
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    for (;;) {
        const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const sockaddr_in address = Loopback(port);
        if (fd &&
            ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            return;
        }
        if (const auto status = server.Wait(std::chrono::milliseconds(0))) {
            throw std::runtime_error(name + " ended at start with status " +
                                     std::to_string(*status));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            throw std::runtime_error(name + " does not listen on port " + std::to_string(port));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void RequireProgram(const char* path) {
    if (::access(path, X_OK) != 0) {
        throw std::runtime_error(std::string(path) +
                                 " is missing: scripts/install-bench-deps.sh installs it");
    }
}

void Run(const std::vector<std::string>& argv) {
    ChildProcess process(argv, ChildOptions{});
    if (process.Wait(std::chrono::seconds(60)) != 0) {
        throw std::runtime_error(argv.front() + " " + argv[1] + " failed");
    }
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The address between "<" and ">" of an envelope argument.
std::string Angled(std::string_view text) {
    const size_t open = text.find('<');
    const size_t close = text.find('>', open);
    return open == std::string_view::npos || close == std::string_view::npos
               ? std::string(text)
               : std::string(text.substr(open + 1, close - open - 1));
}

// A message in smtp-sink's dump format: its own headers (the envelope among them) up to a
// three-line "Received:", then the message with LF line ends, then an empty line.
SunkMail ParseDump(const std::string& dump) {
    SunkMail mail;
    size_t pos = 0;
    bool in_received = false;
    while (pos < dump.size()) {
        const size_t end = dump.find('\n', pos);
        const std::string_view line(dump.data() + pos,
                                    (end == std::string::npos ? dump.size() : end) - pos);
        if (in_received && line.substr(0, 1) != "\t" && line.substr(0, 1) != " ") {
            break;
        }
        if (line.starts_with("X-Mail-Args: ")) {
            mail.mail_from = Angled(line);
        } else if (line.starts_with("X-Rcpt-Args: ")) {
            mail.rcpt_to.push_back(Angled(line));
        } else if (line.starts_with("Received: ")) {
            in_received = true;
        }
        pos = end == std::string::npos ? dump.size() : end + 1;
    }
    std::string_view message(dump.data() + pos, dump.size() - pos);
    if (message.ends_with("\n")) {
        message.remove_suffix(1);  // the empty line after the message
    }
    for (const char c : message) {
        if (c == '\n') {
            mail.content += '\r';
        }
        mail.content += c;
    }
    return mail;
}

}  // namespace

SmtpSink::SmtpSink(int port, bool keep_messages) : port_(port != 0 ? port : FreePort()) {
    RequireProgram(kSmtpSink);
    std::vector<std::string> argv{kSmtpSink, "-c"};
    if (::geteuid() == 0) {
        argv.insert(argv.end(), {"-u", "nobody"});  // it will not run as root
    }
    if (keep_messages) {
        // Written as "nobody": the folder must be open to it.
        const std::string mail = folder_.Path("mail");
        if (::chmod(folder_.path().c_str(), 0711) != 0 || ::mkdir(mail.c_str(), 0700) != 0 ||
            ::chmod(mail.c_str(), 0777) != 0) {
            throw std::runtime_error("cannot make a folder for smtp-sink's messages");
        }
        argv.insert(argv.end(), {"-d", mail + "/%M."});
    }
    argv.insert(argv.end(), {"127.0.0.1:" + std::to_string(port_), "64"});
    ChildOptions options;
    options.stdout_path = folder_.Path("counts");  // a file: a pipe nobody reads would fill up
    process_.emplace(argv, options);
    AwaitListening(port_, *process_, "smtp-sink");
}

std::vector<SunkMail> SmtpSink::Messages() const {
    std::vector<SunkMail> messages;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.Path("mail"), error)) {
        messages.push_back(ParseDump(ReadWholeFile(entry.path())));
    }
    return messages;
}

std::optional<long> SmtpSink::Stop() {
    if (!process_) {
        return std::nullopt;
    }
    ::kill(process_->pid(), SIGTERM);
    process_->Wait(std::chrono::seconds(5));
    process_.reset();
    // Counters such as "sess=3 quit=3 mesg=3", each update after a carriage return.
    const std::string counts = ReadWholeFile(folder_.Path("counts"));
    const size_t at = counts.rfind("mesg=");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::strtol(counts.c_str() + at + 5, nullptr, 10);
}

std::string TlsFront::PortProblem() {
    const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = Loopback(kPort);
    if (fd && ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        return "";
    }
    if (errno == EADDRINUSE) {
        return "127.0.0.1:465 is taken";
    }
    return std::string("cannot bind 127.0.0.1:465: ") + std::strerror(errno);
}

TlsFront::TlsFront(int plain_port) {
    RequireProgram(kStunnel);
    RequireProgram(kOpenssl);
    const auto path = [this](const char* name) { return folder_.Path(name); };
    const std::vector<std::string> ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                      "-nodes"};
    std::vector<std::string> ca{kOpenssl, "req", "-x509"};
    ca.insert(ca.end(), ec.begin(), ec.end());
    ca.insert(ca.end(), {"-keyout", path("ca.key"), "-out", path("ca.pem"), "-days", "2", "-subj",
                         "/CN=Quillet bench CA", "-addext", "basicConstraints=critical,CA:TRUE",
                         "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
    Run(ca);
    std::vector<std::string> request{kOpenssl, "req"};
    request.insert(request.end(), ec.begin(), ec.end());
    request.insert(request.end(), {"-keyout", path("server.key"), "-out", path("server.csr"),
                                   "-subj", "/CN=localhost"});
    Run(request);
    WriteWholeFile(path("server.ext"), "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    Run({kOpenssl, "x509", "-req", "-in", path("server.csr"), "-CA", path("ca.pem"), "-CAkey",
         path("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", path("server.ext"), "-out",
         path("server.pem")});

    // Errors only, and to its own log: a line per connection would be written while timed.
    WriteWholeFile(path("stunnel.conf"),
                   "foreground = quiet\npid =\ndebug = 3\noutput = " + path("stunnel.log") +
                       "\nsocket = l:TCP_NODELAY=1\nsocket = r:TCP_NODELAY=1\n\n[smtps]\n"
                       "accept = 127.0.0.1:" +
                       std::to_string(kPort) +
                       "\nconnect = 127.0.0.1:" + std::to_string(plain_port) +
                       "\ncert = " + path("server.pem") + "\nkey = " + path("server.key") + "\n");
    process_.emplace(std::vector<std::string>{kStunnel, path("stunnel.conf")}, ChildOptions{});
    AwaitListening(kPort, *process_, "stunnel");
}

DeferringServer::DeferringServer() : port_(FreePort()) {
    ChildOptions options;
    options.stdout_path = folder_.Path("taken");
    process_.emplace(
        std::vector<std::string>{"/usr/bin/python3", QUILLET_BENCH_SOURCE_DIR "/deferring_smtp.py",
                                 std::to_string(port_)},
        options);
    AwaitListening(port_, *process_, "the deferring server");
}

}  // namespace quillet::bench
