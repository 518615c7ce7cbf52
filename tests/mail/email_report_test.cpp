#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "mail/send_email.h"
#include "mail/smtp_transport.h"
#include "platform/profile/ini_file.h"
#include "settings/form_email_setup.h"
#include "support/program_wide.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"

namespace quillet {
namespace {

using test::RecordingTransport;

// A form whose settings file is never touched by these tests.
struct Form {
    RecordingTransport transport;
    IniFile settings{"/nonexistent/quillet.ini"};
    test::ScriptedScreen screen;
    formEmailSetup form{{transport, settings, screen, ""}};
};

void FillValid(formEmailSetup& form) {
    form.txtDisplayName.SetText("Order Desk");
    form.txtEmail.SetText("desk@example.com");
    form.txtSMTPserver.SetText("127.0.0.1");
    form.txtPort.SetText("25");
    form.chkAuthRequired.SetValue(1);
    form.txtAccountName.SetText("trader");
    form.txtPassword.SetText("s3cret");
    form.lstSendTo.AddItem("broker@example.com");
    form.lstSendTo.AddItem("me@example.com");
}

struct ValidationCase {
    const char* name;
    std::function<void(formEmailSetup&)> spoil;
    const char* message;
};

class EmailReportValidationTest : public testing::TestWithParam<ValidationCase> {};

TEST_P(EmailReportValidationTest, FirstProblemIsShownInRedAndNothingIsSent) {
    Form f;
    auto& [transport, settings, screen, form] = f;
    FillValid(form);
    GetParam().spoil(form);
    form.EmailReport();
    EXPECT_EQ(form.lblLog.Caption(), GetParam().message);
    EXPECT_EQ(form.lblLog.ForeColor(), kLogRed);
    EXPECT_TRUE(transport.deliveries.empty());
}

void ClearList(formEmailSetup& f) {
    f.lstSendTo.Clear();
}

INSTANTIATE_TEST_SUITE_P(
    InOrder, EmailReportValidationTest,
    testing::Values(
        ValidationCase{"AllEmpty",
                       [](formEmailSetup& f) {
                           for (TextBox* t : {&f.txtDisplayName, &f.txtEmail, &f.txtSMTPserver,
                                              &f.txtPort, &f.txtAccountName, &f.txtPassword}) {
                               t->SetText("");
                           }
                           ClearList(f);
                       },
                       "Error: Sender's display name is empty."},
        ValidationCase{"NameBlanks", [](formEmailSetup& f) { f.txtDisplayName.SetText("   "); },
                       "Error: Sender's display name is empty."},
        ValidationCase{"NoSender",
                       [](formEmailSetup& f) {
                           f.txtEmail.SetText(" ");
                           f.txtSMTPserver.SetText("");
                       },
                       "Error: Sender's e-mail address is empty."},
        ValidationCase{"SenderWithoutAt", [](formEmailSetup& f) { f.txtEmail.SetText("desk"); },
                       "Error: Sender's e-mail address does not seem to be valid."},
        ValidationCase{"ServerBlanks", [](formEmailSetup& f) { f.txtSMTPserver.SetText("  "); },
                       "Error: Outgoing mail server (SMTP) name is empty."},
        ValidationCase{"PortEmpty", [](formEmailSetup& f) { f.txtPort.SetText(" "); },
                       "Error: SMTP server port number is empty."},
        ValidationCase{"AccountEmpty", [](formEmailSetup& f) { f.txtAccountName.SetText(""); },
                       "Error: Account name is empty."},
        ValidationCase{"GrayedAuthNeedsPassword",
                       [](formEmailSetup& f) {
                           f.chkAuthRequired.SetValue(2);
                           f.txtPassword.SetText(" ");
                       },
                       "Error: Password is empty."},
        ValidationCase{"NoRecipients", ClearList, "Error: 'Send E-mail To' list is empty."},
        ValidationCase{"BadRecipientInTheMiddle",
                       [](formEmailSetup& f) {
                           ClearList(f);
                           for (const char* a : {"a@x.com", "bob", "carl", "d@x.com"}) {
                               f.lstSendTo.AddItem(a);
                           }
                       },
                       "Error: bob address does not seem to be valid."},
        ValidationCase{"PortTooLarge", [](formEmailSetup& f) { f.txtPort.SetText("4294967321"); },
                       "Error: SMTP server port number is not valid."}),
    [](const testing::TestParamInfo<ValidationCase>& info) { return info.param.name; });

TEST(EmailReportTest, SendsOneMessageToAllRecipientsAsBlindCopies) {
    Form f;
    auto& [transport, settings, screen, form] = f;
    FillValid(form);
    form.txtPort.SetText("25.5");
    form.chkSSL.SetValue(2);  // grayed counts as on
    Program().EmailSubject = "CVT order # 77";
    Program().EmailBody = "Cancel Order: Orderid=77";
    form.EmailReport();

    ASSERT_EQ(transport.deliveries.size(), 1u);
    const SmtpDelivery& d = transport.deliveries[0];
    EXPECT_EQ(d.port, 26);
    EXPECT_EQ(d.security, SmtpSecurity::StartTls);
    EXPECT_TRUE(d.login);
    EXPECT_EQ(d.user, "trader");
    EXPECT_EQ(d.password, "s3cret");
    EXPECT_EQ(d.mail_from, "desk@example.com");
    EXPECT_EQ(d.recipients, (std::vector<std::string>{"broker@example.com", "me@example.com"}));
    EXPECT_NE(d.message.find("Subject: CVT order # 77\r\n"), std::string::npos);
    EXPECT_NE(d.message.find("\r\n\r\nCancel Order: Orderid=77\r\n"), std::string::npos);
    EXPECT_EQ(form.lblLog.Caption(), "Message sent successfully.");
    EXPECT_EQ(form.lblLog.ForeColor(), kLogGreen);
}

TEST(EmailReportTest, LabelIsClearedWhileSendingAndRedOnFailure) {
    Form f;
    auto& [transport, settings, screen, form] = f;
    transport.code = 7;
    FillValid(form);
    form.lblLog.SetCaption("old text");
    std::vector<std::string> seen;
    form.lblLog.Observe([&] { seen.push_back(form.lblLog.Caption()); });
    form.EmailReport();
    ASSERT_EQ(transport.deliveries.size(), 1u);
    EXPECT_NE(std::find(seen.begin(), seen.end(), ""), seen.end());
    EXPECT_EQ(form.lblLog.Caption(), "Can't send message: check your e-mail settings.");
    EXPECT_EQ(form.lblLog.ForeColor(), kLogRed);
}

TEST(EmailReportTest, WithoutAuthenticationNoLoginIsSentEvenWhenFilled) {
    Form f;
    auto& [transport, settings, screen, form] = f;
    FillValid(form);
    form.chkAuthRequired.SetValue(0);
    form.txtPassword.SetText("");
    form.EmailReport();
    ASSERT_EQ(transport.deliveries.size(), 1u);
    EXPECT_FALSE(transport.deliveries[0].login);
    EXPECT_EQ(transport.deliveries[0].user, "");
    EXPECT_EQ(transport.deliveries[0].password, "");
}

struct SendCase {
    const char* name;
    std::function<void(SendRequest&)> change;
    int32_t code;  // -1: delivered
    SmtpSecurity security = SmtpSecurity::Plain;
};

class SendPlainTextMailTest : public testing::TestWithParam<SendCase> {};

TEST_P(SendPlainTextMailTest, RefusesUnsafeInputBeforeTheNetwork) {
    RecordingTransport transport;
    SendRequest request{
        "mail.example.com", 587, true, "user", "pw", false, "Desk", "desk@example.com",
        "a@example.com",    "s", "b"};
    GetParam().change(request);
    const int32_t code = SendPlainTextMail(transport, request);
    if (GetParam().code < 0) {
        EXPECT_EQ(code, 0);
        ASSERT_EQ(transport.deliveries.size(), 1u);
        EXPECT_EQ(transport.deliveries[0].security, GetParam().security);
    } else {
        EXPECT_EQ(code, GetParam().code);
        EXPECT_TRUE(transport.deliveries.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, SendPlainTextMailTest,
    testing::Values(
        SendCase{"Plain", [](SendRequest&) {}, -1, SmtpSecurity::Plain},
        SendCase{"SslAt465IsImplicit",
                 [](SendRequest& r) {
                     r.ssl = true;
                     r.port = 465;
                 },
                 -1, SmtpSecurity::ImplicitTls},
        SendCase{"SslElsewhereIsStartTls", [](SendRequest& r) { r.ssl = true; }, -1,
                 SmtpSecurity::StartTls},
        SendCase{"ServerWithBlanks", [](SendRequest& r) { r.server = " mail.example.com "; }, -1},
        SendCase{"RecipientInjection",
                 [](SendRequest& r) { r.bcc = "a@example.com\r\nRCPT TO:<evil@x.com>"; },
                 kSendUnsafeText},
        SendCase{"SenderInjection", [](SendRequest& r) { r.sender_address = "d@x.com\nDATA"; },
                 kSendUnsafeText},
        SendCase{"NulInPassword", [](SendRequest& r) { r.password = std::string("p\0w", 3); },
                 kSendUnsafeText},
        SendCase{"NoRecipient", [](SendRequest& r) { r.bcc = " , "; }, kSendNoRecipient},
        SendCase{"PortZero", [](SendRequest& r) { r.port = 0; }, kSendBadPort},
        SendCase{"PortNegative", [](SendRequest& r) { r.port = -25; }, kSendBadPort},
        SendCase{"PortTooLarge", [](SendRequest& r) { r.port = 65536; }, kSendBadPort},
        SendCase{"ServerIsAUrl", [](SendRequest& r) { r.server = "evil.com/x?y"; }, kSendBadServer},
        SendCase{"ServerWithUser", [](SendRequest& r) { r.server = "user@evil.com"; },
                 kSendBadServer},
        SendCase{"SenderOnlyBlanks", [](SendRequest& r) { r.sender_address = " <> "; },
                 kSendNoSenderAddress}),
    [](const testing::TestParamInfo<SendCase>& info) { return info.param.name; });

}  // namespace
}  // namespace quillet
