// CurlSmtpTransport against a real SMTP server on 127.0.0.1, alone and under the forms.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/shell/form_quillet.h"
#include "platform/smtp/curl_smtp_transport.h"
#include "settings/setup_dialog_slot.h"
#include "support/form_rig.h"
#include "support/mail_doubles.h"
#include "support/memory_profile.h"
#include "support/scripted_screen.h"
#include "support/smtp_test_server.h"

namespace quillet {
namespace {

using test::SmtpTestServer;
using Mode = SmtpTestServer::Mode;
using Options = CurlSmtpTransport::Options;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Lines starting with "." must survive the transparency procedure, a lone "." above all.
const std::string kMessage =
    "From: Desk <desk@example.com>\r\nSubject: Order lines\r\n\r\n"
    "BUY 100 XYZ\r\n.leading dot\r\n.\r\n..two dots\r\nlast line\r\n";

// Host, port, security, login (none), user, password, sender, recipients (two), message.
SmtpDelivery Delivery(int port) {
    return {"127.0.0.1", port, SmtpSecurity::Plain, false,
            "",          "",   "desk@example.com",  {"a@example.com", "b@example.org"},
            kMessage};
}

void LogIn(SmtpDelivery& d, SmtpSecurity security, const char* password = "s3cret") {
    d.security = security;
    d.login = true;
    d.user = "trader";
    d.password = password;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

SmtpTestServer::Config Server(Mode mode, bool require_auth = false) {
    return {.mode = mode, .require_auth = require_auth};
}

// A port on 127.0.0.1 where nothing listens: a server's, once it has gone.
int ClosedPort() {
    return SmtpTestServer({}).port();
}

TEST(CurlSmtpTransport, EveryModeDeliversEnvelopeAndContentByteForByte) {
    // Proxy variables point where nothing listens: mail must still go straight to the server.
    constexpr const char* kProxyVariables[] = {"all_proxy", "ALL_PROXY", "smtp_proxy"};
    const std::string nowhere = "socks5://127.0.0.1:" + std::to_string(ClosedPort());
    for (const char* name : kProxyVariables) {
        setenv(name, nowhere.c_str(), 1);
    }
    const std::tuple<Mode, SmtpSecurity, const char*, bool> cases[] = {
        {Mode::Plain, SmtpSecurity::Plain, "127.0.0.1", false},
        {Mode::Plain, SmtpSecurity::Plain, "127.0.0.1", true},
        {Mode::StartTls, SmtpSecurity::StartTls, "localhost", true},  // the name is verified
        {Mode::ImplicitTls, SmtpSecurity::ImplicitTls, "127.0.0.1", true},
    };
    for (const auto& [mode, security, host, login] : cases) {
        SCOPED_TRACE(static_cast<int>(mode));
        SmtpTestServer server({.mode = mode, .require_auth = login});
        SmtpDelivery delivery = Delivery(server.port());
        delivery.host = host;
        delivery.security = security;
        if (login) {
            LogIn(delivery, security);
        }
        const SmtpResult result =
            CurlSmtpTransport({.ca_file = server.ca_file()}).Deliver(delivery);
        ASSERT_EQ(result.code, 0) << result.message;
        EXPECT_EQ(result.server_reply, "250 2.0.0 Ok: queued as 4XyZ");
        const auto received = server.Received();
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].mail_from, "desk@example.com");
        EXPECT_EQ(received[0].rcpt_to, delivery.recipients);
        EXPECT_EQ(received[0].auth_user, login ? "trader" : "");
        EXPECT_EQ(received[0].content, kMessage);
    }
    for (const char* name : kProxyVariables) {
        unsetenv(name);
    }
}

// Each case fails the whole send in its time, nothing accepted by the server. A server that
// stalls after the message is left at the nearer bound, and only once (no second wait for the
// reply to QUIT afterwards).
TEST(CurlSmtpTransport, RefusedOrStuckSendsFailInTimeAndNothingArrives) {
    using Change = std::function<void(SmtpDelivery&, Options&)>;
    const auto use = [](SmtpSecurity security, bool trust_test_ca = true) -> Change {
        return [=](SmtpDelivery& d, Options& o) {
            d.security = security;
            o.ca_file = trust_test_ca ? o.ca_file : "";
        };
    };
    const auto bounds = [](std::chrono::milliseconds reply, std::chrono::milliseconds total,
                           std::chrono::milliseconds end_of_data) {
        return [=](SmtpDelivery&, Options& o) {
            o.reply_timeout = reply;
            o.total_timeout = total;
            o.end_of_data_timeout = end_of_data;
        };
    };
    const SmtpTestServer::Config no_auth{.offer_auth = false};
    const SmtpTestServer::Config refusing{.refused_recipients = {"a@example.com", "b@example.org"}};
    const struct {
        const char* name;
        SmtpTestServer::Config server;
        Change change;
        int code = 0;           // the code expected; 0 for any failure
        bool permanent = true;  // the same settings would fail again: no retry helps
        double seconds = 0;     // when it fails; 0 for at once
    } cases[] = {
        {"STARTTLS not offered", Server(Mode::Plain), use(SmtpSecurity::StartTls)},
        {"wrong password", Server(Mode::StartTls, true),
         [](SmtpDelivery& d, Options&) { LogIn(d, SmtpSecurity::StartTls, "wrong"); }},
        // A 4xx reply is temporary, whatever libcurl calls it.
        {"AUTH answered 454",
         {.replies = {{"AUTH", "454 4.7.0 Temporary authentication failure"}}},
         [](SmtpDelivery& d, Options&) { LogIn(d, SmtpSecurity::Plain); },
         CURLE_LOGIN_DENIED,
         false},
        {"STARTTLS answered 454",
         {.mode = Mode::StartTls,
          .replies = {{"STARTTLS", "454 4.7.0 TLS not available due to temporary reason"}}},
         use(SmtpSecurity::StartTls),
         CURLE_USE_SSL_FAILED,
         false},
        {"no login where required", Server(Mode::Plain, true), [](SmtpDelivery&, Options&) {}},
        // Asked to log in where the server offers no AUTH, libcurl would send without a login.
        {"login asked, not offered", no_auth,
         [](SmtpDelivery& d, Options&) { LogIn(d, SmtpSecurity::Plain); }, CURLE_LOGIN_DENIED},
        {"every recipient refused", refusing, [](SmtpDelivery&, Options&) {}},
        {"STARTTLS, untrusted CA", Server(Mode::StartTls), use(SmtpSecurity::StartTls, false)},
        {"implicit TLS, untrusted CA", Server(Mode::ImplicitTls),
         use(SmtpSecurity::ImplicitTls, false)},
        {"implicit TLS to a plain server", Server(Mode::Plain), use(SmtpSecurity::ImplicitTls), 0,
         false},
        // Without a recipient libcurl would send HELP instead, and report success.
        {"no recipient", Server(Mode::Plain),
         [](SmtpDelivery& d, Options&) { d.recipients.clear(); }, CURLE_BAD_FUNCTION_ARGUMENT},
        // libcurl would send the line break on, adding a command to the session.
        {"line break in a recipient", Server(Mode::Plain),
         [](SmtpDelivery& d, Options&) { d.recipients = {"a@example.com>\r\nRSET"}; },
         CURLE_BAD_FUNCTION_ARGUMENT},
        // The server would read what follows the '>' as parameters of MAIL FROM.
        {"parameters after the sender", Server(Mode::Plain),
         [](SmtpDelivery& d, Options&) { d.mail_from = "desk@example.com> RET=HDRS ENVID=x"; },
         CURLE_BAD_FUNCTION_ARGUMENT},
        // In a URL, the "/" would end the host and drop the port; a port of its own would clash
        // with the port's field. Neither can ever be sent to.
        {"host that changes the URL", Server(Mode::Plain),
         [](SmtpDelivery& d, Options&) { d.host = "127.0.0.1/evil"; }, CURLE_URL_MALFORMAT},
        {"host with a port", Server(Mode::Plain),
         [](SmtpDelivery& d, Options&) { d.host = "localhost:25"; }, CURLE_URL_MALFORMAT},
        // A password never travels unencrypted but to this machine: refused before a byte goes.
        {"login in the clear", Server(Mode::Plain),
         [](SmtpDelivery& d, Options&) {
             LogIn(d, SmtpSecurity::Plain), d.host = "mail.example.com";
         },
         CURLE_LOGIN_DENIED},
        {"closed port", Server(Mode::Plain),
         [](SmtpDelivery& d, Options&) { d.port = ClosedPort(); }, CURLE_COULDNT_CONNECT, false},
        {"connection dropped before the answer", Server(Mode::DropDuringData),
         [](SmtpDelivery&, Options&) {}, 0, false},
        {"stalled: reply bound", Server(Mode::StallOnRcpt), bounds(2s, 5s, 5s),
         CURLE_OPERATION_TIMEDOUT, false, 2},
        {"stalled: total bound", Server(Mode::StallOnRcpt), bounds(10s, 3s, 10s),
         CURLE_OPERATION_TIMEDOUT, false, 3},
        // The reply to the end of the message has a bound of its own, past the others.
        {"stalled: end-of-data bound", Server(Mode::StallAfterData), bounds(1s, 1s, 4s),
         CURLE_OPERATION_TIMEDOUT, false, 4},
    };
    // What the user reads of the failure: its cause, and the fix where there is one.
    const std::map<std::string, std::string> words = {
        {"STARTTLS not offered", "offers no secure connection on this port (STARTTLS)"},
        {"wrong password", "refused the password: for Gmail and Yahoo use an app password"},
        {"STARTTLS answered 454", "did not start the secure connection (454 4.7.0 TLS not"},
        {"no login where required", "the server answered \"530"},
        {"every recipient refused", "the server answered \"550"},
        {"STARTTLS, untrusted CA", "certificate is not trusted"},
        {"closed port", "did not take the connection"},
        {"connection dropped before the answer", "closed the connection"},
        {"stalled: reply bound", "no answer from 127.0.0.1:"},  // and its port
        {"stalled: total bound", " within 3 s"},
        {"stalled: end-of-data bound", " within 4 s"},
    };
    // The server's reply that failed the send, in full; none for a silence or a cut.
    const std::map<std::string, std::string> replies = {
        {"no login where required", "530 5.7.0 Authentication required"},
        {"every recipient refused", "550 5.1.1 Recipient refused"},
        {"connection dropped before the answer", ""},
        {"stalled: reply bound", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpTestServer server(c.server);
        SmtpDelivery delivery = Delivery(server.port());
        Options options{.ca_file = server.ca_file()};
        c.change(delivery, options);
        const auto start = Clock::now();
        const SmtpResult result = CurlSmtpTransport(options).Deliver(delivery);
        const double elapsed = SecondsSince(start);
        EXPECT_TRUE(c.code == 0 ? result.code >= 1 && result.code <= 99 : result.code == c.code)
            << result.code << ": " << result.message;
        EXPECT_FALSE(result.message.empty());
        if (const auto said = words.find(c.name); said != words.end()) {
            EXPECT_NE(result.message.find(said->second), std::string::npos) << result.message;
        }
        if (const auto reply = replies.find(c.name); reply != replies.end()) {
            EXPECT_EQ(result.server_reply, reply->second);
        }
        EXPECT_EQ(result.permanent, c.permanent) << result.message;
        EXPECT_GT(elapsed, c.seconds - 0.5);
        EXPECT_LT(elapsed, c.seconds + (c.seconds > 0 ? 1.5 : 3.0));
        EXPECT_TRUE(server.Received().empty());
    }
}

// A server that has the message but is slow to say so gets it once: its answer is awaited past
// the bounds of the other replies and of the exchange.
TEST(CurlSmtpTransport, ASlowAnswerToTheEndOfTheMessageIsAwaited) {
    SmtpTestServer server({.data_reply_delay = 3});
    Options options;
    options.reply_timeout = options.total_timeout = 1s;
    const SmtpResult result = CurlSmtpTransport(options).Deliver(Delivery(server.port()));
    EXPECT_EQ(result.code, 0) << result.message;
    EXPECT_EQ(result.server_reply, "250 2.0.0 Ok: queued as 4XyZ");
    EXPECT_EQ(server.Received().size(), 1u);
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
        {60s, {.idle_limit = 0.3, .mails_per_connection = 1}, "m.mm", "CCCMMM"},
        {60s, {}, "mllf", "CCCMMMMQQ"},  // new settings, test message: new connections
        // A QUIT never answered holds up the transport's end for a moment only.
        {300ms, {.mode = Mode::StallOnQuit}, "m.", "CMQ"},
    };
    for (const auto& c : cases) {
        SmtpTestServer server(c.server);
        std::optional<CurlSmtpTransport> transport(
            std::in_place, Options{.ca_file = {}, .keep_idle = c.keep_idle});
        for (const char step : c.steps) {
            SmtpDelivery delivery = Delivery(server.port());
            if (step == '.') {
                std::this_thread::sleep_for(600ms);
                continue;
            }
            if (step != 'm') {
                LogIn(delivery, SmtpSecurity::Plain);
            }
            delivery.fresh_connection = step == 'f';
            EXPECT_EQ(transport->Deliver(delivery).code, 0) << c.steps;
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
        EXPECT_EQ(std::ssize(server.Received()), std::ranges::count(c.events, 'M'));
        const auto ending = Clock::now();
        transport.reset();
        EXPECT_LT(SecondsSince(ending), 5) << c.steps;
    }
}

// Mail servers that fail in every way a real one does, under the forms: each order ends in the
// red status text, with its reason in words, within its bound, and the next order still goes out.
// (A certificate nobody trusts fails as the refused recipient does, permanently: see the
// transport's cases above.)
TEST(MailFaultTest, EveryFailureShowsRedInTimeAndTheNextOrderGoesOut) {
    const struct {
        const char* name;
        Mode mode;
        const char* reason;
        std::vector<std::string> refused = {};
    } cases[] = {
        {"refused recipient", Mode::Plain, " The server answered \"550", {"broker@example.com"}},
        {"connection dropped before the answer", Mode::DropDuringData,
         " The server localhost closed the connection"},
        {"stalled after the message", Mode::StallAfterData, " No answer from localhost:"},
        {"server that never speaks", Mode::Silent, " No answer from localhost:"},
    };
    SmtpTestServer good({});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpTestServer faulty({.mode = c.mode, .refused_recipients = c.refused});

        CurlSmtpTransport transport({.connect_timeout = 3s,
                                     .reply_timeout = 2s,
                                     .total_timeout = 4s,
                                     .end_of_data_timeout = 2s,
                                     .ca_file = {}});
        test::FormRig rig(transport, faulty.port());
        formQuillet& form = rig.form;
        formEmailSetup& settings = rig.settings;

        const auto start = Clock::now();
        rig.Handle(OrderCancelled{"1"});
        EXPECT_LT(Clock::now() - start, 6s);
        EXPECT_EQ(settings.lblLog.Caption().find(std::string("Can't send message: check your "
                                                             "e-mail settings.") +
                                                 c.reason),
                  0u)
            << settings.lblLog.Caption();
        EXPECT_EQ(settings.lblLog.ForeColor(), kLogRed);

        settings.txtPort.SetText(std::to_string(good.port()));
        form.RetryWaitingMail();  // a mail that waits goes first
        rig.Handle(OrderCancelled{"2"});
        EXPECT_EQ(settings.lblLog.Caption(), "Message sent successfully.");
        EXPECT_EQ(form.List1.ListCount(), 2u);
    }
    const auto second_orders = std::ranges::count_if(good.Received(), [](const auto& mail) {
        return mail.content.find("Subject: CVT order # 2\r\n") != std::string::npos;
    });
    EXPECT_EQ(second_orders, std::ssize(cases));
}

}  // namespace
}  // namespace quillet
