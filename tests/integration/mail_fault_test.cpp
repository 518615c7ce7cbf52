// Mail servers that fail in every way a real one does: each order ends in the red status text
// within its bound, and the next order still goes out.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "app/form_quillet.h"
#include "platform/profile/ini_file.h"
#include "platform/smtp/curl_smtp_transport.h"
#include "settings/setup_dialog_slot.h"
#include "support/mail_doubles.h"
#include "support/scripted_screen.h"
#include "support/smtp_test_server.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using test::SmtpTestServer;

CurlSmtpTransport::Options ShortBounds() {
    CurlSmtpTransport::Options options;
    options.connect_timeout = 3s;
    options.reply_timeout = 2s;
    options.total_timeout = 4s;
    return options;
}

TEST(MailFaultTest, EveryFailureShowsRedInTimeAndTheNextOrderGoesOut) {
    struct Case {
        const char* name;
        SmtpTestServer::Mode mode;
        bool refuse_all = false;
        int16_t ssl = 0;
    };
    const Case cases[] = {
        {"refused recipient", SmtpTestServer::Mode::Plain, true},
        {"connection dropped before the answer", SmtpTestServer::Mode::DropDuringData},
        {"stalled after the message", SmtpTestServer::Mode::StallAfterData},
        {"certificate nobody trusts", SmtpTestServer::Mode::StartTls, false, 1},
        {"server that never speaks", SmtpTestServer::Mode::Silent},
    };
    SmtpTestServer good({});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpTestServer::Config config;
        config.mode = c.mode;
        if (c.refuse_all) {
            config.refused_recipients = {"broker@example.com"};
        }
        SmtpTestServer faulty(config);

        test::TempDir dir;
        CurlSmtpTransport transport(ShortBounds());  // trusts only the system's store
        IniFile file(dir.Path("quillet.ini"));
        test::ScriptedScreen screen;
        test::InlineOutbox outbox;
        SetupDialogSlot setup({transport, outbox.runner, file, screen, ""});
        formQuillet form(setup, screen, ".", outbox.Services(transport));
        form.Form_Load();
        formEmailSetup& settings = setup.Get();
        settings.txtDisplayName.SetText("Desk");
        settings.txtEmail.SetText("desk@example.com");
        settings.txtSMTPserver.SetText("localhost");
        settings.txtPort.SetText(std::to_string(faulty.port()));
        settings.chkSSL.SetValue(c.ssl);
        settings.lstSendTo.AddItem("broker@example.com");

        const auto start = Clock::now();
        form.CVTOrders1_OrderCancelled({"1"});
        EXPECT_LT(Clock::now() - start, 6s);
        EXPECT_EQ(settings.lblLog.Caption(), "Can't send message: check your e-mail settings.");
        EXPECT_EQ(settings.lblLog.ForeColor(), kLogRed);

        settings.txtPort.SetText(std::to_string(good.port()));
        settings.chkSSL.SetValue(0);
        form.RetryWaitingMail();  // a mail that waits goes first
        form.CVTOrders1_OrderCancelled({"2"});
        EXPECT_EQ(settings.lblLog.Caption(), "Message sent successfully.");
        EXPECT_EQ(form.List1.ListCount(), 2u);
    }
    const auto mails = good.Received();
    EXPECT_EQ(std::count_if(mails.begin(), mails.end(),
                            [](const auto& mail) {
                                return mail.content.find("Subject: CVT order # 2\r\n") !=
                                       std::string::npos;
                            }),
              std::ssize(cases));
}

}  // namespace
}  // namespace quillet
