// The HTTP endpoint's request -> reply time against the control socket's, side by side in one
// run of the program: the same requests (QueryConnected, handled by the dispatcher, and Status),
// one at a time over one kept connection each, alternating in rounds so that both see the same
// machine.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench_table.h"
#include "child_process.h"
#include "installed_quillet.h"

namespace quillet::bench {
namespace {

constexpr int kPort = 18931;
constexpr int kRounds = 20;
constexpr int kEach = 100;

// One kept HTTP connection to the endpoint: a request out, its whole response in.
class HttpClient {
  public:
    HttpClient(int port, std::string token) : token_(std::move(token)), port_(port) {
        fd_ = UniqueFd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("cannot connect to the HTTP endpoint");
        }
    }
    std::string Post(const std::string& body) {
        const std::string request =
            "POST /events HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port_) +
            "\r\nAuthorization: Bearer " + token_ +
            "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n\r\n" + body;
        send(fd_.get(), request.data(), request.size(), MSG_NOSIGNAL);
        std::string got;
        char buffer[4096];
        while (true) {
            const size_t end = got.find("\r\n\r\n");
            const size_t length = got.find("Content-Length: ");
            if (end != std::string::npos && length != std::string::npos &&
                got.size() >= end + 4 + std::stoul(got.substr(length + 16))) {
                return got.substr(end + 4);
            }
            const ssize_t n = recv(fd_.get(), buffer, sizeof buffer, 0);
            if (n <= 0) {
                throw std::runtime_error("the HTTP endpoint closed the connection");
            }
            got.append(buffer, static_cast<size_t>(n));
        }
    }

  private:
    UniqueFd fd_;
    std::string token_;
    int port_;
};

template <typename Exchange>
void Measure(Exchange exchange, std::vector<double>& samples) {
    for (int i = 0; i < kEach; ++i) {
        const auto start = std::chrono::steady_clock::now();
        exchange();
        samples.push_back(Milliseconds(std::chrono::steady_clock::now() - start) * 1000);
    }
}

int Run() {
    InstalledQuillet quillet(25);  // no mail is sent
    ChildOptions options;
    options.environment = quillet.Environment();
    ChildProcess program({quillet.program(), "--http", std::to_string(kPort)}, options);
    ControlClient control = quillet.Connect(std::chrono::seconds(20));
    // The endpoint opens, and makes its token, as the setup form loads, after the socket.
    std::optional<HttpClient> connected;
    for (int attempt = 0; !connected; ++attempt) {
        try {
            std::ifstream token_file(quillet.folder() + "/quillet-http.token");
            std::string token;
            if (!std::getline(token_file, token) || token.empty()) {
                throw std::runtime_error("no token yet");
            }
            connected.emplace(kPort, token);
        } catch (const std::runtime_error&) {
            if (attempt == 200) {
                throw;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    HttpClient& http = *connected;
    if (http.Post(R"({"event":"Status"})").find("\"ok\":true") == std::string::npos) {
        throw std::runtime_error("the HTTP endpoint refuses the benchmark's requests");
    }

    for (const std::string request : {R"({"event":"QueryConnected"})", R"({"event":"Status"})"}) {
        std::vector<double> over_socket, over_http;
        for (int round = 0; round < kRounds; ++round) {
            Measure([&] { control.Exchange(request); }, over_socket);
            Measure([&] { http.Post(request); }, over_http);
        }
        const std::string name =
            request.find("Status") != std::string::npos ? "Status" : "QueryConnected";
        const double socket_median = Median(over_socket);
        const double http_median = Median(over_http);
        PrintRow("HTTP " + name + " request -> reply, median", Fixed(http_median, 1, "us"));
        PrintRow("Socket " + name + " request -> reply, median", Fixed(socket_median, 1, "us"));
        PrintRow("HTTP / socket, " + name + " (median)", Fixed(http_median / socket_median, 2, "x"),
                 "<= 3.00x", http_median <= 3 * socket_median);
    }
    control.Exchange(R"({"event":"Shutdown"})");
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main() {
    try {
        return quillet::bench::Run();
    } catch (const std::exception& e) {
        std::cerr << "bench-http: " << e.what() << '\n';
        return 1;
    }
}
