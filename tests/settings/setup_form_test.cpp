#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "settings/form_email_setup.h"
#include "settings/setup_dialog_slot.h"
#include "support/base64.h"
#include "support/mail_doubles.h"
#include "support/memory_profile.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"

namespace quillet {
namespace {

using Settings = std::vector<std::pair<std::string, std::string>>;

struct Dialog {
    explicit Dialog(const Settings& settings = {}) { file.Store(settings); }
    formEmailSetup& form() { return slot.Get(); }
    std::string Stored(const std::string& key) {
        return Base64DecodeFromINI(
            file.saved.at(test::MemoryProfile::Key("Quillet", Base64EncodeForINI(key))));
    }
    std::vector<std::string> Recipients() {
        std::vector<std::string> out;
        for (int i = 0; i < form().lstSendTo.ListCount(); ++i) {
            out.push_back(form().lstSendTo.List(i));
        }
        return out;
    }
    void FillValid() {
        formEmailSetup& f = form();
        f.txtDisplayName.SetText("Order Desk");
        f.txtEmail.SetText("desk@example.com");
        f.txtSMTPserver.SetText("127.0.0.1");
        f.txtPort.SetText("25");
        f.chkAuthRequired.SetValue(1);
        f.txtAccountName.SetText("trader");
        f.txtPassword.SetText("s3cret");
        f.lstSendTo.AddItem("broker@example.com");
        f.lstSendTo.AddItem("Me <me@example.com>");
    }

    test::RecordingTransport transport;
    test::MemoryProfile file;
    test::ScriptedScreen screen;
    test::InlineRunner runner;
    SetupDialogSlot slot{{transport, runner, file, screen}};
};

const std::string& Shown(formEmailSetup& f) {
    return f.cmbServerTemplate.List(f.cmbServerTemplate.ListIndex());
}

TEST(SetupFormTest, LoadSelectsTheMatchingTemplateWhichKeepsTheLoadedValues) {
    const std::pair<const char*, const char*> cases[] = {
        {"SMTP.GMAIL.COM", "GMail"},
        {"smtp-mail.outlook.com", "Hotmail"},  // shared with "MSN Mail": the first wins
        {"smtp.office365.com", "Outlook.com / Microsoft 365"},  // after "Custom", the sixth
        {"SMTP.mail.me.com", "iCloud Mail"},
        {"smtp.fastmail.com", "Fastmail"},
        {"smtp.example.com", "Custom"},
    };
    for (const auto& [server, shown] : cases) {
        Dialog d(Settings{{"txtSMTPserver", server}});
        EXPECT_EQ(Shown(d.form()), shown) << server;
        EXPECT_EQ(d.form().txtSMTPserver.Text(), server);
    }
    Dialog loaded({{"txtSMTPserver", "SMTP.GMAIL.COM"},
                   {"txtPort", "2525"},
                   {"chkAuthRequired", "2"},
                   {"txtAccountName", "me"}});
    formEmailSetup& f = loaded.form();
    EXPECT_EQ(f.txtPort.Text(), "2525");
    // Another template, then back: the loaded values return.
    f.cmbServerTemplate.SetListIndex(3);  // Yahoo! Mail
    EXPECT_EQ(f.txtPort.Text(), "465");
    for (const ServerTemplateDefault& t : kServerTemplates) {
        EXPECT_TRUE(t.auth == 0 || t.ssl != 0) << t.name;  // no password in the clear
    }
    EXPECT_EQ(f.txtAccountName.Text(), "");
    f.cmbServerTemplate.SetListIndex(MatchingTemplate("smtp.gmail.com") - 1);
    EXPECT_EQ(f.txtPort.Text(), "2525");
    EXPECT_EQ(f.txtAccountName.Text(), "me");
    // No file: "Custom" takes over the empty fields, so coming back to it gives an empty port.
    Dialog d;
    EXPECT_EQ(Shown(d.form()), "Custom");
    d.form().cmbServerTemplate.SetListIndex(0);
    EXPECT_EQ(d.form().txtPort.Text(), "465");
    d.form().cmbServerTemplate.SetListIndex(5);
    EXPECT_EQ(d.form().txtPort.Text(), "");
    // A provider that takes only a token login says so until a token command is named.
    d.form().cmbServerTemplate.SetListIndex(6);
    EXPECT_EQ(d.form().txtPort.Text(), "587");
    EXPECT_EQ(d.form().lblLog.Caption(), kTokenLoginNeeded);
    d.form().txtTokenCommand.SetText("oama access me@outlook.com");
    EXPECT_EQ(d.form().lblLog.Caption(), "");
}

TEST(SetupFormTest, AddDeleteAndEditRecipients) {
    Dialog d;
    formEmailSetup& f = d.form();
    d.screen.answers = {"a@x.com", " ", "", "b@x.com", "c@x.com"};
    std::vector<std::string> said;
    for (int i = 0; i < 5; ++i) {
        f.cmdAddEmail_Click(0);
        said.push_back(f.lblLog.Caption());
    }
    EXPECT_EQ(d.Recipients(), (std::vector<std::string>{"a@x.com", " ", "b@x.com", "c@x.com"}));
    // The blank entry was shown as the test of the settings would refuse it, until the list
    // changed again.
    EXPECT_EQ(said,
              (std::vector<std::string>{"", "Error:   address does not seem to be valid.",
                                        "Error:   address does not seem to be valid.", "", ""}));
    EXPECT_EQ(d.screen.prompts.at(0).prompt,
              "Please type in an e-mail address that you would like to send the order "
              "instructions to:");
    EXPECT_EQ(d.screen.prompts[0].title, "Add E-mail Address");

    f.lstSendTo.RemoveItem(1);
    f.lstSendTo.SetSelected(1, true);
    f.lstSendTo.SetSelected(2, true);
    d.screen.answers = {"bee@x.com"};
    f.cmdAddEmail_Click(2);  // edits the upper one, offering its text
    EXPECT_EQ(d.screen.prompts.back().default_text, "b@x.com");
    EXPECT_EQ(d.Recipients(), (std::vector<std::string>{"a@x.com", "bee@x.com", "c@x.com"}));
    f.lstSendTo.SetSelected(1, false);
    f.lstSendTo.SetSelected(0, true);  // first and third selected
    f.cmdAddEmail_Click(1);
    EXPECT_EQ(d.Recipients(), std::vector<std::string>{"bee@x.com"});
}

TEST(SetupFormTest, CloseAndTheCloseBoxSaveAndFailuresAreReported) {
    Dialog d(Settings{{"txtPort", "25"}});
    d.form().txtPort.SetText("587");
    d.form().Command1_Click();
    EXPECT_EQ(d.screen.setup_dialog_hidden, 1);
    EXPECT_EQ(d.Stored("txtPort"), "587");  // what is in effect survives a kill
    d.form().txtPort.SetText("2525");
    d.slot.Unload();  // the close box
    EXPECT_EQ(d.Stored("txtPort"), "2525");
    EXPECT_EQ(d.form().txtPort.Text(), "2525");  // loaded again from the file

    d.file.save_error = "disk full";
    d.form().Command1_Click();
    d.slot.Unload();
    ASSERT_EQ(d.screen.messages.size(), 2u);
    EXPECT_EQ(d.screen.messages[0].text, "The settings could not be saved: disk full");
    EXPECT_EQ(d.screen.messages[1].text, d.screen.messages[0].text);
    d.file.load_error = "permission denied";
    d.form();
    EXPECT_EQ(d.screen.messages.at(2).text, "The settings could not be read: permission denied");
}

TEST(SetupFormTest, TestMessageChecksTheSettingsInOrderWithTheHourglass) {
    const auto text = [](TextBox formEmailSetup::*box, const char* value) {
        return [box, value](formEmailSetup& f) { (f.*box).SetText(value); };
    };
    const std::pair<std::function<void(formEmailSetup&)>, const char*> cases[] = {
        {text(&formEmailSetup::txtDisplayName, "  "), "Error: Sender's display name is empty."},
        {[](formEmailSetup& f) {
             f.txtEmail.SetText(" ");
             f.txtSMTPserver.SetText("");
         },
         "Error: Sender's e-mail address is empty."},
        {text(&formEmailSetup::txtEmail, "desk"),
         "Error: Sender's e-mail address does not seem to be valid."},
        {text(&formEmailSetup::txtSMTPserver, " "),
         "Error: Outgoing mail server (SMTP) name is empty."},
        {text(&formEmailSetup::txtPort, " "), "Error: SMTP server port number is empty."},
        {text(&formEmailSetup::txtAccountName, ""), "Error: Account name is empty."},
        {[](formEmailSetup& f) {
             f.chkAuthRequired.SetValue(2);
             f.txtPassword.SetText(" ");
         },
         "Error: Password is empty."},
        {[](formEmailSetup& f) { f.lstSendTo.Clear(); }, "Error: 'Send E-mail To' list is empty."},
        {[](formEmailSetup& f) { f.lstSendTo.AddItem("bob"); },
         "Error: bob address does not seem to be valid."},
        // What follows a '>' would reach the server as parameters of MAIL FROM or RCPT TO.
        {text(&formEmailSetup::txtEmail, "desk@example.com> RET=HDRS"),
         "Error: Sender's e-mail address does not seem to be valid."},
        {[](formEmailSetup& f) { f.lstSendTo.AddItem("x@example.com> NOTIFY=NEVER"); },
         "Error: x@example.com> NOTIFY=NEVER address does not seem to be valid."},
        // A port beyond 32 bits would wrap round to another port.
        {text(&formEmailSetup::txtPort, "4294967321"),
         "Error: SMTP server port number is not valid."},
    };
    for (const auto& [spoil, message] : cases) {
        Dialog d;
        d.FillValid();
        spoil(d.form());
        d.form().Command2_Click();
        EXPECT_EQ(d.form().lblLog.Caption(), message);
        EXPECT_EQ(d.form().lblLog.ForeColor(), kLogRed);
        EXPECT_TRUE(d.transport.deliveries.empty());
        EXPECT_EQ(d.screen.busy_pointer, (std::vector<bool>{true, false}));
    }
}

TEST(SetupFormTest, SendsToEveryRecipientAsBlindCopy) {
    Dialog d;
    d.FillValid();
    formEmailSetup& f = d.form();
    f.txtPort.SetText("25.5");
    f.chkSSL.SetValue(2);  // grayed counts as on
    f.lstSendTo.AddItem("Doe, John <\"j,d\"@example.com>");
    f.Command2_Click();
    ASSERT_EQ(d.transport.deliveries.size(), 1u);
    const SmtpDelivery& delivery = d.transport.deliveries[0];
    EXPECT_EQ(delivery.port, 26);
    EXPECT_EQ(delivery.security, SmtpSecurity::StartTls);
    EXPECT_EQ(delivery.recipients, (std::vector<std::string>{"broker@example.com", "me@example.com",
                                                             "\"j,d\"@example.com"}));
    // Without authentication nothing of the login goes out, even when filled in.
    f.chkAuthRequired.SetValue(0);
    f.EmailReport("s", "b", false, {});
    EXPECT_FALSE(d.transport.deliveries.at(1).login);
    EXPECT_EQ(d.transport.deliveries[1].password, "");
}

}  // namespace
}  // namespace quillet
