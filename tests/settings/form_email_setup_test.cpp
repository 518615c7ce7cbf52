#include "settings/form_email_setup.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/profile/ini_file.h"
#include "settings/setup_dialog_slot.h"
#include "support/base64.h"
#include "support/program_wide.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::ReadFile;
using test::WriteFile;

// The setup dialog over a settings file in a temporary folder, loaded on first use.
struct Dialog {
    explicit Dialog(const std::string& settings = "") : file(dir.Path("quillet.ini")) {
        if (!settings.empty()) {
            WriteFile(dir.Path("quillet.ini"), settings);
        }
    }
    formEmailSetup& form() { return slot.Get(); }
    std::vector<std::string> Recipients() {
        std::vector<std::string> out;
        for (int i = 0; i < form().lstSendTo.ListCount(); ++i) {
            out.push_back(form().lstSendTo.List(i));
        }
        return out;
    }

    test::TempDir dir;
    test::RecordingTransport transport;
    IniFile file;
    test::ScriptedScreen screen;
    SetupDialogSlot slot{{transport, file, screen, dir.Path("Quillet.chm")}};
};

std::string StoredServer(const std::string& server, const std::string& port) {
    return "[Quillet]\r\ndHh0U01UUHNlcnZlcg$$=" + Base64EncodeForINI(server) +
           "\r\ndHh0UG9ydA$$=" + Base64EncodeForINI(port) +
           "\r\nY2hrU1NM=MA$$\r\nY2hrQXV0aFJlcXVpcmVk=Mg$$\r\n"  // SSL 0, authentication 2
           "dHh0QWNjb3VudE5hbWU$=" + Base64EncodeForINI("me") + "\r\n";
}

const std::string& SelectedName(formEmailSetup& f) {
    return f.cmbServerTemplate.List(f.cmbServerTemplate.ListIndex());
}

TEST(SetupDialogTest, FirstLoadWithoutAFile) {
    Dialog d;
    formEmailSetup& f = d.form();
    EXPECT_EQ(SelectedName(f), "Custom");
    EXPECT_EQ(f.cmbServerTemplate.ListCount(), 6);
    EXPECT_FALSE(f.txtAccountName.Enabled());
    EXPECT_FALSE(f.txtPassword.Enabled());
    EXPECT_EQ(f.lblLog.Caption(), "");
    // "Custom" took over the empty fields, so coming back to it gives an empty port.
    f.cmbServerTemplate.SetListIndex(0);
    EXPECT_EQ(f.txtPort.Text(), "465");
    f.cmbServerTemplate.SetListIndex(5);
    EXPECT_EQ(f.txtPort.Text(), "");
}

TEST(SetupDialogTest, LoadSelectsTheMatchingTemplateWhichKeepsTheLoadedValues) {
    struct Case {
        std::string server;
        std::string shown;
    };
    const Case cases[] = {
        {"SMTP.GMAIL.COM", "GMail"},
        {"smtp-mail.outlook.com", "Hotmail"},  // shared with "MSN Mail": the first wins
        {" smtp.gmail.com", "Custom"},         // no trimming
        {"mail.example.com", "Custom"},
    };
    for (const auto& c : cases) {
        Dialog d(StoredServer(c.server, "2525"));
        formEmailSetup& f = d.form();
        EXPECT_EQ(SelectedName(f), c.shown) << c.server;
        EXPECT_EQ(f.txtSMTPserver.Text(), c.server);
        EXPECT_EQ(f.txtPort.Text(), "2525");
        EXPECT_EQ(f.chkAuthRequired.Value(), 2);
        EXPECT_TRUE(f.txtAccountName.Enabled());  // grayed counts as on
        EXPECT_EQ(f.txtAccountName.Text(), "me");
    }
}

TEST(SetupDialogTest, PickingTemplatesAndComingBackRestoresTheLoadedServer) {
    Dialog d(StoredServer("mail.example.com", "2525"));
    formEmailSetup& f = d.form();
    f.txtDisplayName.SetText("Desk");
    f.lstSendTo.AddItem("a@x.com");

    f.cmbServerTemplate.SetListIndex(0);  // GMail
    EXPECT_EQ(f.txtSMTPserver.Text(), "smtp.gmail.com");
    EXPECT_EQ(f.txtPort.Text(), "465");
    EXPECT_EQ(f.chkSSL.Value(), 1);
    EXPECT_EQ(f.chkAuthRequired.Value(), 1);
    EXPECT_EQ(f.txtAccountName.Text(), "");
    EXPECT_TRUE(f.txtPassword.Enabled());

    f.cmbServerTemplate.SetListIndex(3);  // Yahoo! Mail
    EXPECT_EQ(f.txtPort.Text(), "25");
    EXPECT_EQ(f.chkSSL.Value(), 0);
    EXPECT_EQ(f.chkAuthRequired.Value(), 1);

    f.cmbServerTemplate.SetListIndex(5);  // Custom holds what was loaded
    EXPECT_EQ(f.txtSMTPserver.Text(), "mail.example.com");
    EXPECT_EQ(f.txtPort.Text(), "2525");
    EXPECT_EQ(f.chkAuthRequired.Value(), 2);
    EXPECT_EQ(f.txtAccountName.Text(), "me");
    // Sender and recipients were never touched.
    EXPECT_EQ(f.txtDisplayName.Text(), "Desk");
    EXPECT_EQ(d.Recipients(), std::vector<std::string>{"a@x.com"});
}

TEST(SetupDialogTest, AuthenticationStateDrivesTheAccountFields) {
    Dialog d;
    formEmailSetup& f = d.form();
    f.txtAccountName.SetText("kept");
    for (int16_t state : {1, 0, 2, 0}) {
        f.chkAuthRequired.SetValue(state);
        EXPECT_EQ(f.txtAccountName.Enabled(), state != 0) << state;
        EXPECT_EQ(f.txtPassword.Enabled(), state != 0) << state;
        EXPECT_EQ(f.txtAccountName.Text(), "kept");
    }
}

TEST(SetupDialogTest, AddDeleteAndEditRecipients) {
    Dialog d;
    formEmailSetup& f = d.form();
    d.screen.answers = {"a@x.com", " ", "", "b@x.com", "c@x.com"};
    for (int i = 0; i < 5; ++i) {
        f.cmdAddEmail_Click(0);
    }
    EXPECT_EQ(d.Recipients(), (std::vector<std::string>{"a@x.com", " ", "b@x.com", "c@x.com"}));
    ASSERT_FALSE(d.screen.prompts.empty());
    EXPECT_EQ(d.screen.prompts[0].prompt,
              "Please type in an e-mail address that you would like to send the order "
              "instructions to:");
    EXPECT_EQ(d.screen.prompts[0].title, "Add E-mail Address");
    EXPECT_EQ(d.screen.prompts[0].default_text, "");

    f.lstSendTo.RemoveItem(1);  // a@x.com, b@x.com, c@x.com
    f.cmdAddEmail_Click(2);     // Edit with nothing selected: no prompt
    EXPECT_EQ(d.screen.prompts.size(), 5u);

    f.lstSendTo.SetSelected(1, true);
    f.lstSendTo.SetSelected(2, true);
    d.screen.answers = {"bee@x.com"};
    f.cmdAddEmail_Click(2);  // edits the upper one, offering its text
    EXPECT_EQ(d.screen.prompts.back().default_text, "b@x.com");
    EXPECT_EQ(d.Recipients(), (std::vector<std::string>{"a@x.com", "bee@x.com", "c@x.com"}));
    f.cmdAddEmail_Click(2);  // cancelled: unchanged
    EXPECT_EQ(d.Recipients(), (std::vector<std::string>{"a@x.com", "bee@x.com", "c@x.com"}));

    f.lstSendTo.SetSelected(1, false);
    f.lstSendTo.SetSelected(0, true);  // first and third selected
    f.cmdAddEmail_Click(1);
    EXPECT_EQ(d.Recipients(), std::vector<std::string>{"bee@x.com"});
    f.cmdAddEmail_Click(1);  // nothing selected: nothing happens
    EXPECT_EQ(d.Recipients(), std::vector<std::string>{"bee@x.com"});
}

TEST(SetupDialogTest, CloseHidesWithoutSavingAndTheCloseBoxSaves) {
    Dialog d(StoredServer("mail.example.com", "25"));
    d.form().txtPort.SetText("587");
    d.form().Command1_Click();
    EXPECT_EQ(d.screen.setup_dialog_hidden, 1);
    EXPECT_EQ(d.form().txtPort.Text(), "587");  // still loaded, still edited
    EXPECT_NE(ReadFile(d.dir.Path("quillet.ini")).find("dHh0UG9ydA$$=MjU$"), std::string::npos);

    d.slot.Unload();  // the close box
    EXPECT_NE(ReadFile(d.dir.Path("quillet.ini")).find("dHh0UG9ydA$$=NTg3\r\n"),
              std::string::npos);
    EXPECT_EQ(d.form().txtPort.Text(), "587");  // loaded again from the file
}

TEST(SetupDialogTest, FailedSaveIsReportedWithTheFileAndReason) {
    test::TempDir dir;
    test::RecordingTransport transport;
    IniFile file(dir.Path("missing-folder/quillet.ini"));
    test::ScriptedScreen screen;
    SetupDialogSlot slot({transport, file, screen, ""});
    slot.Get();
    slot.Unload();
    ASSERT_EQ(screen.messages.size(), 1u);
    EXPECT_NE(screen.messages[0].text.find(dir.Path("missing-folder/quillet.ini")),
              std::string::npos);
    EXPECT_EQ(screen.messages[0].icon, MessageIcon::Critical);
}

TEST(SetupDialogTest, TestButtonMailsWithTheHourglassAndHelpNamesTheMissingFile) {
    Dialog d;
    formEmailSetup& f = d.form();
    f.Command2_Click();
    EXPECT_EQ(f.lblLog.Caption(), "Error: Sender's display name is empty.");
    EXPECT_EQ(d.screen.busy_pointer, (std::vector<bool>{true, false}));
    EXPECT_EQ(Program().EmailSubject, "test email");
    EXPECT_EQ(Program().EmailBody, "Just testing...");

    f.cmdHelp_Click();
    ASSERT_EQ(d.screen.messages.size(), 1u);
    EXPECT_EQ(d.screen.messages[0].text, "Help file not found: " + d.dir.Path("Quillet.chm"));
    EXPECT_EQ(d.screen.messages[0].title, "Quillet for Corvana");
    WriteFile(d.dir.Path("Quillet.chm"), "help");
    f.cmdHelp_Click();
    EXPECT_EQ(d.screen.help_opened, std::vector<std::string>{d.dir.Path("Quillet.chm")});
}

}  // namespace
}  // namespace quillet
