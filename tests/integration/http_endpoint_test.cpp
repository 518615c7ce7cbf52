// The local HTTP endpoint of the whole program: started offscreen with --http, called by curl
// for orders that reach a real SMTP server, and by a raw client for every refusal.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <QProcess>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/unique_fd.h"
#include "support/base64.h"
#include "support/smtp_test_server.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::SmtpTestServer;
using test::TempDir;

std::string Stored(const std::string& key, const std::string& value) {
    return Base64EncodeForINI(key) + "=" + Base64EncodeForINI(value) + "\r\n";
}

UniqueFd Connect(int port) {
    UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval wait{15, 0};
    setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return {};
    }
    return fd;
}

// Everything the server sends until it closes, or until a whole response has come.
std::string Response(int fd) {
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        got.append(buffer, static_cast<size_t>(n));
        const size_t end = got.find("\r\n\r\n");
        const size_t length = got.find("Content-Length: ");
        if (end != std::string::npos && length != std::string::npos &&
            got.size() >= end + 4 + std::stoul(got.substr(length + 16))) {
            break;
        }
    }
    return got;
}

// The status code of the response to `request`, sent whole over a fresh connection.
int StatusOf(int port, const std::string& request) {
    const UniqueFd fd = Connect(port);
    send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL);
    const std::string response = Response(fd.get());
    return response.rfind("HTTP/1.1 ", 0) == 0 ? std::stoi(response.substr(9, 3)) : -1;
}

int FreePort() {
    const UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), size);
    getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

// The program in a temporary folder, mailing to `smtp_port`, with the endpoint at port().
class HttpQuillet {
  public:
    explicit HttpQuillet(int smtp_port) : port_(FreePort()) {
        test::WriteFile(dir_.Path("quillet.ini"),
                        "[Quillet]\r\n" + Stored("txtDisplayName", "Desk") +
                            Stored("txtEmail", "desk@example.com") +
                            Stored("txtSMTPserver", "127.0.0.1") +
                            Stored("txtPort", std::to_string(smtp_port)) +
                            Stored("lstSendTo.ListCount", "1") + Stored("File1", "me@example.org"));
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("QUILLET_SOCKET", QString::fromStdString(dir_.Path("q.sock")));
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        environment.insert("QUILLET_RETRY_SCHEDULE", "0.3");
        program_.setProcessEnvironment(environment);
        program_.setChildProcessModifier([] {  // the descriptors a desktop session allows
            const rlimit limit{1024, 1024};
            setrlimit(RLIMIT_NOFILE, &limit);
        });
        program_.start(QUILLET_PATH,
                       {"--settings", QString::fromStdString(dir_.Path("quillet.ini")), "--http",
                        QString::number(port_)});
    }
    ~HttpQuillet() {
        program_.kill();
        program_.waitForFinished();
    }

    // Waits until the endpoint answers; then the token `quillet --http-token` prints.
    std::string Token() {
        if (!QTest::qWaitFor([&] { return Connect(port_).get() >= 0; }, 10000)) {
            return "";
        }
        QProcess print;
        print.start(QUILLET_PATH, {"--settings", QString::fromStdString(dir_.Path("quillet.ini")),
                                   "--http-token"});
        print.waitForFinished();
        return print.readAllStandardOutput().trimmed().toStdString();
    }
    int port() const { return port_; }

  private:
    TempDir dir_;
    int port_;
    QProcess program_;
};

// curl with the token and `arguments`; gives what it printed: the body, then the status.
std::string Curl(const std::string& token, const QStringList& arguments) {
    QProcess curl;
    curl.start("curl", QStringList{"-sS", "-w", "%{http_code}", "-H",
                                   QString::fromStdString("Authorization: Bearer " + token)} +
                           arguments);
    curl.waitForFinished(30000);
    return curl.readAllStandardOutput().toStdString();
}

TEST(HttpEndpointTest, CurlsOrdersAreListedMailedAndCountedInStatus) {
    SmtpTestServer smtp({});
    HttpQuillet quillet(smtp.port());
    const std::string token = quillet.Token();
    ASSERT_EQ(token.size(), 64u);
    const QString events = QString("http://127.0.0.1:%1/events").arg(quillet.port());
    EXPECT_EQ(Curl(token, {"-H", "Content-Type: application/json", "-d", R"({"event":"Connect"})",
                           events}),
              "{\"ok\":true,\"Answer\":-1}\n200");
    EXPECT_EQ(
        Curl(token, {"-H", "Content-Type: application/x-ndjson", "--data-binary",
                     "{\"event\":\"OrderPlaced\",\"OrderId\":\"77\",\"Side\":1,\"Quantity\":"
                     "100,\"Symbol\":\"XYZ\",\"OrderType\":1,\"StopPrice\":0,\"LimitPrice\":"
                     "0}\n{\"event\":\"OrderFilled\",\"OrderId\":\"77\",\"Side\":1,"
                     "\"Symbol\":\"XYZ\",\"Quantity\":40.5,\"FilledQuantity\":40.5,"
                     "\"LeavesQuantity\":59.5,\"FillPrice\":12.5}\n"
                     "{\"event\":\"OrderRejected\",\"OrderId\":\"78\",\"Reason\":\"no margin\"}\n"
                     "{\"event\":\"OrderCancelled\",\"OrderId\":\"77\"}\n",
                     events}),
        "{\"ok\":true,\"Mail\":\"kept\"}\n{\"ok\":true,\"Mail\":\"kept\"}\n"
        "{\"ok\":true,\"Mail\":\"kept\"}\n{\"ok\":true,\"Mail\":\"kept\"}\n200");
    // Replies wait until the mails are safe: delivered, or in the outbox for a retry.
    ASSERT_TRUE(QTest::qWaitFor([&] { return smtp.Received().size() == 4; }, 10000));
    EXPECT_NE(smtp.Received()[0].content.find("Subject: CVT order # 77\r\n"), std::string::npos);
    EXPECT_NE(smtp.Received()[1].content.find(
                  "Filled: Buy 40.5 of 100.0 share(s) of XYZ at 12.5; 59.5 left  (OrderId=77)"),
              std::string::npos)
        << smtp.Received()[1].content;
    EXPECT_NE(smtp.Received()[2].content.find("Rejected: no margin  (OrderId=78)"),
              std::string::npos)
        << smtp.Received()[2].content;
    const std::string status =
        Curl(token, {QString("http://localhost:%1/status").arg(quillet.port())});
    EXPECT_NE(status.find("\"Connected\":true"), std::string::npos) << status;
    EXPECT_NE(status.find("\"Delivered\":4"), std::string::npos) << status;
}

TEST(HttpEndpointTest, PipelinedRequestsAreAnsweredInTheirOrder) {
    SmtpTestServer smtp({});
    HttpQuillet quillet(smtp.port());
    const std::string head = "Host: 127.0.0.1:" + std::to_string(quillet.port()) +
                             "\r\nAuthorization: Bearer " + quillet.Token() + "\r\n";
    const std::string order = R"({"event":"OrderCancelled","OrderId":"78"})";
    const std::string both = "POST /events HTTP/1.1\r\n" + head +
                             "Content-Length: " + std::to_string(order.size()) + "\r\n\r\n" +
                             order + "GET /status HTTP/1.1\r\n" + head + "\r\n";
    const UniqueFd fd = Connect(quillet.port());
    send(fd.get(), both.data(), both.size(), MSG_NOSIGNAL);
    std::string got;  // the order's reply waits for its mail's write, the Status's would not
    for (char b[4096]; got.find("\"Delivered\"") == std::string::npos ||
                       got.find("{\"ok\":true,\"Mail\":\"kept\"}\n") == std::string::npos;) {
        const ssize_t n = recv(fd.get(), b, sizeof b, 0);
        ASSERT_GT(n, 0) << got;
        got.append(b, static_cast<size_t>(n));
    }
    EXPECT_LT(got.find("{\"ok\":true,\"Mail\":\"kept\"}\n"), got.find("\"Delivered\"")) << got;
}

TEST(HttpEndpointTest, RefusalsAreAnsweredAndASlowClientHoldsNobody) {
    SmtpTestServer smtp({});
    HttpQuillet quillet(smtp.port());
    const std::string token = quillet.Token();
    const std::string host = "Host: 127.0.0.1:" + std::to_string(quillet.port()) + "\r\n";
    const std::string bearer = "Authorization: Bearer " + token + "\r\n";
    auto post = [&](const std::string& headers, const std::string& body) {
        return "POST /events HTTP/1.1\r\n" + headers +
               "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    const std::string order = R"({"event":"QueryConnected"})";
    struct Case {
        std::string request;
        int status;
    };
    const Case cases[] = {
        {post(host + bearer, order), 200},
        {post(host + bearer, "{\"event\":\"Nope\"}"), 400},
        {post(host + bearer + "Content-Type: application/x-ndjson\r\n", order + "\nnot json"), 400},
        {post(host, order), 401},
        {post(host + "Authorization: Bearer " + std::string(64, '0') + "\r\n", order), 401},
        {post(host + bearer + "Origin: http://127.0.0.1\r\n", order), 403},
        {post("Host: quillet.example:" + std::to_string(quillet.port()) + "\r\n" + bearer, order),
         403},
        {post("Host: 127.0.0.1:1\r\n" + bearer, order), 403},
        {"GET /orders HTTP/1.1\r\n" + host + bearer + "\r\n", 404},
        {"GET /events HTTP/1.1\r\n" + host + bearer + "\r\n", 405},
        {"POST /status HTTP/1.1\r\n" + host + bearer + "Content-Length: 0\r\n\r\n", 405},
        {post(host + bearer, std::string(64 * 1024 + 1, ' ')), 413},
        {post(host + bearer, std::string(1024 * 1024, ' ')), 413},
        {post(host + bearer + "Content-Type: application/x-www-form-urlencoded\r\n", "a=1"), 415},
        {post(host + host + bearer, order), 400},
        {post("Host: quillet.example\r\n" + host + bearer, order), 400},
        {"POST http://127.0.0.1:" + std::to_string(quillet.port()) + "/events HTTP/1.1\r\n" + host +
             bearer + "Content-Length: " + std::to_string(order.size()) + "\r\n\r\n" + order,
         400},
        {post(host + bearer + "Transfer-Encoding: chunked\r\n", "zz\r\n"), 400},
    };
    // A client that sends half a request and then nothing, and one without the token that
    // sends a byte of its head every second.
    const UniqueFd slow = Connect(quillet.port());
    send(slow.get(), "POST /events HTTP/1.1\r\n", 23, MSG_NOSIGNAL);
    const UniqueFd trickle = Connect(quillet.port());
    const auto start = std::chrono::steady_clock::now();
    for (const Case& c : cases) {
        EXPECT_EQ(StatusOf(quillet.port(), c.request), c.status) << c.request.substr(0, 200);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    // The trickling one is cut once its head has taken five seconds.
    bool cut = false;
    for (int i = 0; i < 30 && !cut; ++i) {
        cut = send(trickle.get(), "X", 1, MSG_NOSIGNAL) < 0;
        char byte;
        cut = cut || recv(trickle.get(), &byte, 1, MSG_DONTWAIT) == 0;
        QTest::qWait(1000);
    }
    EXPECT_TRUE(cut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    // The slow one is let go after ten seconds of silence.
    EXPECT_EQ(Response(slow.get()), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(14));
}

TEST(HttpEndpointTest, ACrowdOfSlowStrangersNeitherExhaustsTheProgramNorHoldsTheOwner) {
    SmtpTestServer smtp({});
    HttpQuillet quillet(smtp.port());
    const std::string token = quillet.Token();
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    // Two thousand connections without the token, each with a byte of a head.
    std::vector<UniqueFd> crowd;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(quillet.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Twenty-five at a time, each batch given a second to be taken, each connection sent a byte
    // every two seconds, as a patient stranger would.
    auto trickled = std::chrono::steady_clock::now();
    const auto trickle = [&] {
        for (const UniqueFd& fd : crowd) {
            send(fd.get(), "P", 1, MSG_NOSIGNAL);
        }
        trickled = std::chrono::steady_clock::now();
    };
    for (int batch = 0; batch < 80; ++batch) {
        std::vector<pollfd> connecting;
        for (int i = 0; i < 25; ++i) {
            UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
            ASSERT_TRUE(fd) << batch;
            connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
            connecting.push_back({fd.get(), POLLOUT, 0});
            crowd.push_back(std::move(fd));
        }
        for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
             std::chrono::steady_clock::now() < until;) {
            poll(connecting.data(), connecting.size(), 100);
            if (std::all_of(connecting.begin(), connecting.end(),
                            [](const pollfd& p) { return p.revents != 0; })) {
                break;
            }
        }
        if (std::chrono::steady_clock::now() - trickled > std::chrono::seconds(2)) {
            trickle();
        }
    }
    trickle();
    const QString base = QString("http://127.0.0.1:%1").arg(quillet.port());
    const std::string status = Curl(token, {"--max-time", "5", base + "/status"});
    EXPECT_NE(status.find("\"Connected\":false"), std::string::npos) << status;
    EXPECT_EQ(
        Curl(token, {"--max-time", "5", "--json", R"({"event":"Connect"})", base + "/events"}),
        "{\"ok\":true,\"Answer\":-1}\n200");
    EXPECT_EQ(Curl(token, {"--max-time", "5", "--json",
                           R"({"event":"OrderPlaced","OrderId":"79","Side":1,"Quantity":1,)"
                           R"("Symbol":"XYZ","OrderType":1,"StopPrice":0,"LimitPrice":0})",
                           base + "/events"}),
              "{\"ok\":true,\"Mail\":\"kept\"}\n200");
    EXPECT_TRUE(QTest::qWaitFor([&] { return smtp.Received().size() == 1; }, 10000));
}

}  // namespace
}  // namespace quillet
