// EmailReport from the live settings to a real SMTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <string>

#include "platform/profile/ini_file.h"
#include "platform/smtp/curl_smtp_transport.h"
#include "settings/form_email_setup.h"
#include "support/scripted_screen.h"
#include "support/smtp_test_server.h"

namespace quillet {
namespace {

using test::SmtpTestServer;

struct MailSetup {
    explicit MailSetup(const SmtpTestServer& server) : transport(Options(server)) {
        form.txtDisplayName.SetText("Order Desk, NY");
        form.txtEmail.SetText("desk@example.com");
        form.txtSMTPserver.SetText("localhost");
        form.txtPort.SetText(std::to_string(server.port()));
        form.lstSendTo.AddItem("broker@example.com");
        form.lstSendTo.AddItem("Me <me@example.org>");
    }
    static CurlSmtpTransport::Options Options(const SmtpTestServer& server) {
        CurlSmtpTransport::Options options;
        options.ca_file = server.ca_file();
        return options;
    }
    CurlSmtpTransport transport;
    IniFile settings{"/nonexistent/quillet.ini"};
    test::ScriptedScreen screen;
    formEmailSetup form{{transport, settings, screen, ""}};
};

bool HasHeader(const std::string& content, const std::string& name) {
    const std::string head = "\r\n" + content.substr(0, content.find("\r\n\r\n"));
    return head.find("\r\n" + name + ":") != std::string::npos;
}

TEST(EmailReportDeliveryTest, OrderArrivesForEveryRecipientAsBlindCopy) {
    struct Case {
        const char* name;
        SmtpTestServer::Mode mode;
        int16_t ssl;
        int16_t auth;
    };
    const Case cases[] = {
        {"plain", SmtpTestServer::Mode::Plain, 0, 0},
        {"STARTTLS with login", SmtpTestServer::Mode::StartTls, 1, 1},
        {"STARTTLS, grayed boxes", SmtpTestServer::Mode::StartTls, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpTestServer::Config config;
        config.mode = c.mode;
        config.require_auth = c.auth != 0;
        SmtpTestServer server(config);
        MailSetup s(server);
        s.form.chkSSL.SetValue(c.ssl);
        s.form.chkAuthRequired.SetValue(c.auth);
        s.form.txtAccountName.SetText(config.user);
        s.form.txtPassword.SetText(config.password);
        s.form.EmailReport("CVT order # 77 – Ä", "Limit price=12.5\n.leading dot");

        EXPECT_EQ(s.form.lblLog.Caption(), "Message sent successfully.");
        EXPECT_EQ(s.form.lblLog.ForeColor(), kLogGreen);
        const auto mails = server.Received();
        ASSERT_EQ(mails.size(), 1u);
        const auto& mail = mails[0];
        EXPECT_EQ(mail.mail_from, "desk@example.com");
        EXPECT_EQ(mail.rcpt_to, (std::vector<std::string>{"broker@example.com", "me@example.org"}));
        EXPECT_EQ(mail.auth_user, c.auth != 0 ? config.user : "");
        EXPECT_NE(
            ("\r\n" + mail.content).find("\r\nFrom: \"Order Desk, NY\" <desk@example.com>\r\n"),
            std::string::npos);
        EXPECT_NE(mail.content.find("\r\nSubject: =?UTF-8?B?"), std::string::npos);
        for (const char* hidden : {"To", "Cc", "Bcc"}) {
            EXPECT_FALSE(HasHeader(mail.content, hidden)) << hidden;
        }
        EXPECT_NE(mail.content.find("\r\n\r\nLimit price=12.5\r\n.leading dot\r\n"),
                  std::string::npos)
            << mail.content;
    }
}

TEST(EmailReportDeliveryTest, RefusalsShowInRed) {
    struct Case {
        const char* name;
        SmtpTestServer::Config config;
        const char* password;
    };
    SmtpTestServer::Config refusing;
    refusing.refused_recipients = {"broker@example.com"};
    SmtpTestServer::Config login;
    login.mode = SmtpTestServer::Mode::StartTls;
    login.require_auth = true;
    const Case cases[] = {
        {"refused recipient", refusing, "s3cret"},
        {"wrong password", login, "wrong"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SmtpTestServer server(c.config);
        MailSetup s(server);
        if (c.config.require_auth) {
            s.form.chkSSL.SetValue(1);
            s.form.chkAuthRequired.SetValue(1);
            s.form.txtAccountName.SetText(c.config.user);
            s.form.txtPassword.SetText(c.password);
        }
        s.form.EmailReport("s", "b");
        EXPECT_EQ(s.form.lblLog.Caption(), "Can't send message: check your e-mail settings.");
        EXPECT_EQ(s.form.lblLog.ForeColor(), kLogRed);
        EXPECT_TRUE(server.Received().empty());
    }
}

}  // namespace
}  // namespace quillet
