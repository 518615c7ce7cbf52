#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/smtp_transport.h"
#include "platform/profile/ini_file.h"
#include "settings/form_email_setup.h"
#include "support/base64.h"
#include "support/scripted_screen.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class NoTransport : public SmtpTransport {
  public:
    SmtpResult Deliver(const SmtpDelivery&) override { return {1, "not in these tests"}; }
};

// A dialog's settings over a settings file in a temporary folder.
struct Settings {
    explicit Settings(const std::string& path) : file(path) {}
    NoTransport transport;
    IniFile file;
    test::ScriptedScreen screen;
    formEmailSetup form{{transport, file, screen, ""}};
};

std::vector<std::string> Entries(const ListBox& list) {
    std::vector<std::string> entries;
    for (int i = 0; i < list.ListCount(); ++i) {
        entries.push_back(list.List(i));
    }
    return entries;
}

TEST(SettingsFileTest, FirstStartWithoutAFileGivesEmptySettings) {
    TempDir dir;
    Settings s(dir.Path("quillet.ini"));
    EXPECT_FALSE(s.form.INIfileRead());
    EXPECT_EQ(s.form.txtDisplayName.Text(), "");
    EXPECT_EQ(s.form.txtPort.Text(), "");
    EXPECT_EQ(s.form.chkSSL.Value(), 0);
    EXPECT_EQ(s.form.chkAuthRequired.Value(), 0);
    EXPECT_EQ(s.form.lstSendTo.ListCount(), 0);
}

TEST(SettingsFileTest, StoresEveryKeyAndValueInBase64AndReadsThemBack) {
    TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    {
        Settings s(path);
        s.form.txtDisplayName.SetText("  Order Desk ");
        s.form.txtEmail.SetText("desk@example.com");
        s.form.txtSMTPserver.SetText("smtp.example.com");
        s.form.txtPort.SetText("25");
        s.form.chkSSL.SetValue(2);
        s.form.chkAuthRequired.SetValue(1);
        s.form.txtAccountName.SetText("trader");
        s.form.txtPassword.SetText("   ");  // blanks only: not stored
        for (const char* a : {"a@x.com", " ", "Jürgen <j@x.com>"}) {
            s.form.lstSendTo.AddItem(a);
        }
        ASSERT_FALSE(s.form.INIfileWrite());
    }
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.rfind("[Quillet]\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("\r\ndHh0UG9ydA$$=MjU$\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nY2hrU1NM=Mg$$\r\n"), std::string::npos) << text;  // chkSSL=2
    EXPECT_NE(text.find("\r\nbHN0U2VuZFRvLkxpc3RDb3VudA$$=Mw$$\r\n"), std::string::npos);
    EXPECT_EQ(text.find("dHh0UGFzc3dvcmQ$"), std::string::npos);  // no password key
    EXPECT_EQ(text.find("RmlsZTI$"), std::string::npos);          // File2 is blanks only
    EXPECT_EQ(text.find("trader"), std::string::npos);            // nothing in plain text

    Settings s(path);
    ASSERT_FALSE(s.form.INIfileRead());
    EXPECT_EQ(s.form.txtDisplayName.Text(), "Order Desk");
    EXPECT_EQ(s.form.chkSSL.Value(), 2);
    EXPECT_EQ(s.form.chkAuthRequired.Value(), 1);
    EXPECT_EQ(s.form.txtAccountName.Text(), "trader");
    EXPECT_EQ(s.form.txtPassword.Text(), "");
    EXPECT_EQ(Entries(s.form.lstSendTo),
              (std::vector<std::string>{"a@x.com", "", "Jürgen <j@x.com>"}));
}

TEST(SettingsFileTest, ShrinkingListRemovesItsOldKeysAndKeepsForeignLines) {
    TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    // As another program, or an older save, left it: LF ends, another section, a comment.
    WriteFile(path,
              "[Other]\nkeep=me\n[QUILLET]\n; note\n"
              "bHN0U2VuZFRvLkxpc3RDb3VudA$$=NQ$$\n"  // count 5
              "RmlsZTE$=YUB4\nRmlsZTI$=YkB4\nRmlsZTM$=Y0B4\nRmlsZTQ$=ZEB4\nRmlsZTU$=ZUB4\n");
    Settings s(path);
    ASSERT_FALSE(s.form.INIfileRead());
    ASSERT_EQ(Entries(s.form.lstSendTo),
              (std::vector<std::string>{"a@x", "b@x", "c@x", "d@x", "e@x"}));
    for (int i = 0; i < 3; ++i) {
        s.form.lstSendTo.RemoveItem(2);
    }
    ASSERT_FALSE(s.form.INIfileWrite());
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.rfind("[Other]\nkeep=me\n[QUILLET]\n; note\n", 0), 0u) << text;
    EXPECT_NE(text.find("RmlsZTE$=YUB4\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("RmlsZTI$=YkB4\r\n"), std::string::npos) << text;
    for (const char* gone : {"RmlsZTM$", "RmlsZTQ$", "RmlsZTU$"}) {
        EXPECT_EQ(text.find(gone), std::string::npos) << gone;
    }
    EXPECT_NE(text.find("bHN0U2VuZFRvLkxpc3RDb3VudA$$=Mg$$\r\n"), std::string::npos) << text;
}

TEST(SettingsFileTest, DamagedNumbersReadSafely) {
    struct Case {
        std::string state;  // stored text of both check states
        std::string count;  // stored text of the recipient count
        int16_t expected_state;
        int expected_count;
    };
    const Case cases[] = {
        {"2", "2", 2, 2},
        {"3", "-4", 0, 0},
        {"-1", "x", 0, 0},
        {"1.5", "1.5", 2, 2},
        {"99999999999", "1e300", 0, 0},
        {"0", "2147483647", 0, kMaxStoredRecipients},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.Path("quillet.ini");
        {
            IniFile raw(path);
            ASSERT_FALSE(raw.Load());
            raw.SetString("Quillet", "Y2hrU1NM", Base64EncodeForINI(c.state));
            raw.SetString("Quillet", "Y2hrQXV0aFJlcXVpcmVk", Base64EncodeForINI(c.state));
            raw.SetString("Quillet", "bHN0U2VuZFRvLkxpc3RDb3VudA$$", Base64EncodeForINI(c.count));
            raw.SetString("Quillet", "RmlsZTI$", "YkB4");  // File2 only
            ASSERT_FALSE(raw.Save());
        }
        Settings s(path);
        ASSERT_FALSE(s.form.INIfileRead());
        EXPECT_EQ(s.form.chkSSL.Value(), c.expected_state) << c.state;
        EXPECT_EQ(s.form.chkAuthRequired.Value(), c.expected_state) << c.state;
        ASSERT_EQ(s.form.lstSendTo.ListCount(), c.expected_count) << c.count;
        if (c.expected_count >= 2) {
            EXPECT_EQ(s.form.lstSendTo.List(0), "");  // missing File1 keeps its place
            EXPECT_EQ(s.form.lstSendTo.List(1), "b@x");
        }
    }
}

TEST(SettingsFileTest, HandEditedMinusOneReadsAsEmpty) {
    TempDir dir;
    WriteFile(dir.Path("q.ini"), "[Quillet]\r\ndHh0RW1haWw$=-1\r\n");
    Settings s(dir.Path("q.ini"));
    ASSERT_FALSE(s.form.INIfileRead());
    EXPECT_EQ(s.form.txtEmail.Text(), "");
}

}  // namespace
}  // namespace quillet
