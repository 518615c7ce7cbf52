// CurlSmtpTransport against a real SMTP server on 127.0.0.1.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/smtp/curl_smtp_transport.h"
#include "support/smtp_test_server.h"

namespace quillet {
namespace {

using test::SmtpTestServer;
using Mode = SmtpTestServer::Mode;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Lines starting with "." must survive the transparency procedure, a lone "." above all.
const std::string kMessage =
    "From: Desk <desk@example.com>\r\n"
    "Subject: Order lines\r\n"
    "\r\n"
    "BUY 100 XYZ\r\n"
    ".leading dot\r\n"
    ".\r\n"
    "..two dots\r\n"
    "last line\r\n";

SmtpDelivery Delivery(int port, SmtpSecurity security = SmtpSecurity::Plain) {
    SmtpDelivery delivery;
    delivery.host = "127.0.0.1";
    delivery.port = port;
    delivery.security = security;
    delivery.mail_from = "desk@example.com";
    delivery.recipients = {"a@example.com", "b@example.org"};
    delivery.message = kMessage;
    return delivery;
}

SmtpTestServer::Config Server(Mode mode, bool require_auth = false,
                              std::vector<std::string> refused_recipients = {}) {
    SmtpTestServer::Config config;
    config.mode = mode;
    config.require_auth = require_auth;
    config.refused_recipients = std::move(refused_recipients);
    return config;
}

SmtpTestServer::Config NoAuthServer() {
    SmtpTestServer::Config config;
    config.offer_auth = false;
    return config;
}

CurlSmtpTransport::Options TrustingTestCa(const SmtpTestServer& server) {
    CurlSmtpTransport::Options options;
    options.ca_file = server.ca_file();
    return options;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A port on 127.0.0.1 where nothing listens: bound once, then let go.
int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

void ExpectFailure(const SmtpResult& result) {
    EXPECT_GE(result.code, 1);
    EXPECT_LE(result.code, 99);
    EXPECT_FALSE(result.message.empty());
}

TEST(CurlSmtpTransport, PlainDeliveryCarriesEnvelopeAndContentByteForByte) {
    SmtpTestServer server(Server(Mode::Plain));
    ASSERT_NE(server.port(), 0);
    // Proxy variables point where nothing listens: mail must still go straight to the server.
    const std::string nowhere = "socks5://127.0.0.1:" + std::to_string(ClosedPort());
    for (const char* name : {"all_proxy", "ALL_PROXY", "smtp_proxy"}) {
        setenv(name, nowhere.c_str(), 1);
    }
    const SmtpResult result = CurlSmtpTransport().Deliver(Delivery(server.port()));
    for (const char* name : {"all_proxy", "ALL_PROXY", "smtp_proxy"}) {
        unsetenv(name);
    }

    ASSERT_EQ(result.code, 0) << result.message;
    const auto received = server.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].mail_from, "desk@example.com");
    EXPECT_EQ(received[0].rcpt_to, (std::vector<std::string>{"a@example.com", "b@example.org"}));
    EXPECT_EQ(received[0].auth_user, "");
    EXPECT_EQ(received[0].content, kMessage);
}

struct SecureCase {
    const char* name;
    Mode server_mode;
    SmtpSecurity security;
    const char* host;
};

class SecureDelivery : public testing::TestWithParam<SecureCase> {};

TEST_P(SecureDelivery, LogsInAndDelivers) {
    const SecureCase& c = GetParam();
    SmtpTestServer server(Server(c.server_mode, true));
    ASSERT_NE(server.port(), 0);
    SmtpDelivery delivery = Delivery(server.port(), c.security);
    delivery.host = c.host;
    delivery.login = true;
    delivery.user = "trader";
    delivery.password = "s3cret";

    const SmtpResult result = CurlSmtpTransport(TrustingTestCa(server)).Deliver(delivery);

    ASSERT_EQ(result.code, 0) << result.message;
    const auto received = server.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].auth_user, "trader");
    EXPECT_EQ(received[0].content, kMessage);
}

INSTANTIATE_TEST_SUITE_P(Modes, SecureDelivery,
                         testing::Values(SecureCase{"Plain", Mode::Plain, SmtpSecurity::Plain,
                                                    "127.0.0.1"},
                                         SecureCase{"StartTlsByName", Mode::StartTls,
                                                    SmtpSecurity::StartTls, "localhost"},
                                         SecureCase{"ImplicitTls", Mode::ImplicitTls,
                                                    SmtpSecurity::ImplicitTls, "127.0.0.1"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Each case must fail the whole send, with nothing accepted by the server.
struct RefusedCase {
    const char* name;
    SmtpTestServer::Config server;
    std::function<void(SmtpDelivery&)> change;
    bool trust_test_ca = true;
    int code = 0;           // the code expected; 0 for any failure
    bool permanent = true;  // the same settings would fail again: no retry helps
};

class RefusedDelivery : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedDelivery, FailsAndNothingArrives) {
    const RefusedCase& c = GetParam();
    SmtpTestServer server(c.server);
    ASSERT_NE(server.port(), 0);
    SmtpDelivery delivery = Delivery(server.port());
    c.change(delivery);
    CurlSmtpTransport transport(c.trust_test_ca ? TrustingTestCa(server)
                                                : CurlSmtpTransport::Options{});

    const auto start = Clock::now();
    const SmtpResult result = transport.Deliver(delivery);

    ExpectFailure(result);
    if (c.code != 0) {
        EXPECT_EQ(result.code, c.code) << result.message;
    }
    EXPECT_EQ(result.permanent, c.permanent) << result.message;
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_TRUE(server.Received().empty());
}

void LogIn(SmtpDelivery& d, SmtpSecurity security, const char* password) {
    d.security = security;
    d.login = true;
    d.user = "trader";
    d.password = password;
}

void Use(SmtpDelivery& d, SmtpSecurity security) {
    d.security = security;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedDelivery,
    testing::Values(
        RefusedCase{"StartTlsNotOffered", Server(Mode::Plain),
                    [](SmtpDelivery& d) { Use(d, SmtpSecurity::StartTls); }},
        RefusedCase{"WrongPassword", Server(Mode::StartTls, true),
                    [](SmtpDelivery& d) { LogIn(d, SmtpSecurity::StartTls, "wrong"); }},
        RefusedCase{"NoLoginWhereRequired", Server(Mode::Plain, true), [](SmtpDelivery&) {}},
        // Asked to log in where the server offers no AUTH, libcurl would send without a login.
        RefusedCase{"LoginAskedButNotOffered", NoAuthServer(),
                    [](SmtpDelivery& d) { LogIn(d, SmtpSecurity::Plain, "s3cret"); }, true,
                    CURLE_LOGIN_DENIED},
        RefusedCase{"OneRecipientRefused", Server(Mode::Plain, false, {"b@example.org"}),
                    [](SmtpDelivery&) {}},
        RefusedCase{"StartTlsUntrustedCa", Server(Mode::StartTls),
                    [](SmtpDelivery& d) { Use(d, SmtpSecurity::StartTls); }, false},
        RefusedCase{"ImplicitTlsUntrustedCa", Server(Mode::ImplicitTls),
                    [](SmtpDelivery& d) { Use(d, SmtpSecurity::ImplicitTls); }, false},
        RefusedCase{"ImplicitTlsSpokenToPlainServer", Server(Mode::Plain),
                    [](SmtpDelivery& d) { Use(d, SmtpSecurity::ImplicitTls); }, true, 0, false},
        // Without a recipient libcurl would send HELP instead, and report success.
        RefusedCase{"NoRecipient", Server(Mode::Plain),
                    [](SmtpDelivery& d) { d.recipients.clear(); }, true,
                    CURLE_BAD_FUNCTION_ARGUMENT},
        // libcurl would send the line break on, adding a command to the session.
        RefusedCase{"LineBreakInRecipient", Server(Mode::Plain),
                    [](SmtpDelivery& d) { d.recipients = {"a@example.com>\r\nRSET"}; }, true,
                    CURLE_BAD_FUNCTION_ARGUMENT},
        // In a URL, the "/" would end the host and drop the port; a port of its own would clash
        // with the port's field. Neither can ever be sent to.
        RefusedCase{"HostThatChangesTheUrl", Server(Mode::Plain),
                    [](SmtpDelivery& d) { d.host = "127.0.0.1/evil"; }, true, CURLE_URL_MALFORMAT},
        RefusedCase{"HostWithAPort", Server(Mode::Plain),
                    [](SmtpDelivery& d) { d.host = "localhost:25"; }, true, CURLE_URL_MALFORMAT}),
    [](const auto& info) { return std::string(info.param.name); });

// A server that takes the message and never answers its end: whichever bound is nearer ends the
// wait, and only once (no second wait for the reply to QUIT afterwards).
struct StallCase {
    const char* name;
    std::chrono::milliseconds reply_timeout;
    std::chrono::milliseconds total_timeout;
    double expected_seconds;
};

class StalledServer : public testing::TestWithParam<StallCase> {};

TEST_P(StalledServer, FailsAtTheNearerBound) {
    const StallCase& c = GetParam();
    SmtpTestServer server(Server(Mode::StallAfterData));
    ASSERT_NE(server.port(), 0);
    CurlSmtpTransport::Options options;
    options.reply_timeout = c.reply_timeout;
    options.total_timeout = c.total_timeout;

    const auto start = Clock::now();
    const SmtpResult result = CurlSmtpTransport(options).Deliver(Delivery(server.port()));
    const double elapsed = SecondsSince(start);

    ExpectFailure(result);
    EXPECT_EQ(result.code, CURLE_OPERATION_TIMEDOUT) << result.message;
    EXPECT_GT(elapsed, c.expected_seconds - 0.5);
    EXPECT_LT(elapsed, c.expected_seconds + 1.5);
}

INSTANTIATE_TEST_SUITE_P(Bounds, StalledServer,
                         testing::Values(StallCase{"ReplyTimeout", 2s, 4s, 2.0},
                                         StallCase{"TotalTimeout", 10s, 3s, 3.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CurlSmtpTransportBounds, ClosedPortFailsAtOnce) {
    const auto start = Clock::now();
    const SmtpResult result = CurlSmtpTransport().Deliver(Delivery(ClosedPort()));

    ExpectFailure(result);
    EXPECT_EQ(result.code, CURLE_COULDNT_CONNECT) << result.message;
    EXPECT_LT(SecondsSince(start), 2.0);
}

SmtpTestServer::Config DroppingServer() {
    SmtpTestServer::Config config;
    config.idle_limit = 0.3;
    config.mails_per_connection = 1;
    return config;
}

// Steps: 'm' a message, 'l' one with a login (other settings), 'f' that over a connection of
// its own, '.' a pause. Then the server's events, sorted: 'C' a connection, 'M' a message, 'Q' a
// QUIT, with the transport still there.
TEST(CurlSmtpTransport, KeptConnectionIsReusedAndNeverCostsAMessage) {
    const struct {
        std::chrono::milliseconds keep_idle;
        SmtpTestServer::Config server;
        std::string steps, events;
    } cases[] = {
        {300ms, {}, "mmm.", "CMMMQ"},  // one connection for three, QUIT when idle
        // Closed by the server in the pause, then at the next MAIL (421).
        {60s, DroppingServer(), "m.mm", "CCCMMM"},
        {60s, {}, "mllf", "CCCMMMMQQ"},  // new settings, test message: new connections
        // A QUIT never answered holds up the transport's end for a moment only.
        {300ms, Server(Mode::StallOnQuit), "m.", "CMQ"},
    };
    for (const auto& c : cases) {
        SmtpTestServer server(c.server);
        CurlSmtpTransport::Options options;
        options.keep_idle = c.keep_idle;
        std::optional<CurlSmtpTransport> kept(std::in_place, options);
        CurlSmtpTransport& transport = *kept;
        for (const char step : c.steps) {
            SmtpDelivery delivery = Delivery(server.port());
            if (step == '.') {
                std::this_thread::sleep_for(600ms);
                continue;
            }
            if (step != 'm') {
                LogIn(delivery, SmtpSecurity::Plain, "s3cret");
            }
            delivery.fresh_connection = step == 'f';
            EXPECT_EQ(transport.Deliver(delivery).code, 0) << c.steps;
        }
        auto sorted = [&server] {
            std::string events = server.Events();
            std::sort(events.begin(), events.end());
            return events;
        };
        for (const auto start = Clock::now(); sorted() != c.events && SecondsSince(start) < 10;) {
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_EQ(sorted(), c.events) << c.steps;
        EXPECT_EQ(server.Received().size(),
                  static_cast<size_t>(std::count(c.events.begin(), c.events.end(), 'M')));
        const auto ending = Clock::now();
        kept.reset();
        EXPECT_LT(SecondsSince(ending), 5) << c.steps;
    }
}

}  // namespace
}  // namespace quillet
