// Token login (XOAUTH2) under the forms: token commands written here as small scripts, against a
// real server that lets trader in with one token only.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>

#include "platform/smtp/curl_smtp_transport.h"
#include "support/form_rig.h"
#include "support/smtp_test_server.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(TokenLogin, TheCommandsTokenLogsInAndAFailingCommandLeavesTheMailWaiting) {
    const struct {
        const char* name;
        const char* script;   // the body of the token command; ASKED is a file of its own
        const char* outcome;  // the status line after the order, from its second word on
    } cases[] = {
        {"prints the token", "echo good-token", "sent successfully."},
        {"a stale token first, then the right one",
         "if [ -e \"$ASKED\" ]; then echo good-token; else touch \"$ASKED\"; echo stale; fi",
         "sent successfully."},
        {"hangs", "echo one moment >&2; sleep 30",
         "send message: check your e-mail settings. "
         "The token command gave no token within 1 s: "
         "one moment."},
        {"fails", "echo 'oama: no refresh token for trader' >&2; exit 1",
         "send message: check your e-mail settings. The token command ended with status 1: "
         "oama: no refresh token for trader."},
    };
    test::SmtpTestServer server({.mode = test::SmtpTestServer::Mode::StartTls,
                                 .require_auth = true,
                                 .token = "good-token"});
    size_t delivered = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string script = dir.Path("token command.sh");
        std::ofstream(script) << "#!/bin/sh\nASKED='" << dir.Path("asked") << "'\n"
                              << c.script << "\n";
        chmod(script.c_str(), 0700);

        CurlSmtpTransport transport({.connect_timeout = 3s,
                                     .reply_timeout = 2s,
                                     .total_timeout = 4s,
                                     .ca_file = server.ca_file(),
                                     .keep_idle = {},
                                     .token_command_limit = 1s});
        test::FormRig rig(transport, server.port());
        formQuillet& form = rig.form;
        formEmailSetup& settings = rig.settings;
        test::InlineOutbox& outbox = rig.outbox;
        settings.chkSSL.SetValue(1);
        settings.chkAuthRequired.SetValue(1);
        settings.txtAccountName.SetText("trader");  // and no password
        // A folder name with a blank, quoted as a shell would take it.
        settings.txtTokenCommand.SetText("\"" + script + "\" --account trader");

        const auto start = Clock::now();
        rig.Handle(OrderCancelled{"1"});
        EXPECT_LT(Clock::now() - start, 3s);
        const std::string& status = settings.lblLog.Caption();
        EXPECT_EQ(status.substr(status.find(' ') + 1), c.outcome) << status;
        const bool sent = std::string(c.outcome) == "sent successfully.";
        delivered += sent ? 1 : 0;
        ASSERT_EQ(server.Received().size(), delivered);
        if (sent) {
            EXPECT_EQ(server.Received().back().auth_user, "trader");
            EXPECT_TRUE(outbox.store.entries.empty());
            // "Send Test E-mail" logs in as the order mail did, with the command's token.
            settings.Command2_Click();
            EXPECT_EQ(settings.lblLog.Caption(), "Message sent successfully.");
            ASSERT_EQ(server.Received().size(), ++delivered);
            EXPECT_EQ(server.Received().back().auth_user, "trader");
        } else {
            // A temporary failure: the mail waits for its next attempt.
            ASSERT_EQ(outbox.store.entries.size(), 1u);
            EXPECT_FALSE(outbox.store.entries.begin()->second.failed);
            EXPECT_EQ(form.MailCounts().waiting, 1);
        }
    }
}

}  // namespace
}  // namespace quillet
