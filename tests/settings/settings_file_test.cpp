// The live settings in a real settings file: Base64 keys and values, foreign lines kept, and
// damaged numbers read safely.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/profile/ini_file.h"
#include "settings/form_email_setup.h"
#include "support/base64.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::ReadFile;
using test::WriteFile;

struct Settings {
    explicit Settings(const std::string& path) : file(path) {}
    test::RecordingTransport transport;
    IniFile file;
    test::ScriptedScreen screen;
    formEmailSetup form{{transport, file, screen, ""}};
};

TEST(SettingsFileTest, StoresEveryKeyAndValueInBase64AndKeepsForeignLines) {
    test::TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    // As another program, or an older save, left it: LF ends, another section, a comment.
    WriteFile(path,
              "[Other]\nkeep=me\n[QUILLET]\n; note\n"
              "bHN0U2VuZFRvLkxpc3RDb3VudA$$=NQ$$\n"  // count 5
              "RmlsZTE$=YUB4\nRmlsZTI$=YkB4\nRmlsZTM$=Y0B4\nRmlsZTQ$=ZEB4\nRmlsZTU$=ZUB4\n");
    {
        Settings s(path);
        ASSERT_FALSE(s.form.INIfileRead());
        ASSERT_EQ(s.form.lstSendTo.ListCount(), 5);
        for (int i = 0; i < 4; ++i) {
            s.form.lstSendTo.RemoveItem(1);
        }
        s.form.lstSendTo.AddItem(" ");  // blanks only: not stored, but counted
        s.form.txtDisplayName.SetText("  Order Desk ");
        s.form.txtPort.SetText("25");
        s.form.chkSSL.SetValue(2);
        s.form.txtAccountName.SetText("trader");
        s.form.txtPassword.SetText("   ");
        ASSERT_FALSE(s.form.INIfileWrite());
    }
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.rfind("[Other]\nkeep=me\n[QUILLET]\n; note\n", 0), 0u) << text;
    for (const char* line : {"\r\ndHh0UG9ydA$$=MjU$\r\n", "\r\nY2hrU1NM=Mg$$\r\n",
                             "\nbHN0U2VuZFRvLkxpc3RDb3VudA$$=Mg$$\r\n", "RmlsZTE$=YUB4\r\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
    }
    for (const char* gone : {"RmlsZTI$", "RmlsZTU$", "dHh0UGFzc3dvcmQ$", "trader"}) {
        EXPECT_EQ(text.find(gone), std::string::npos) << gone;
    }
    Settings s(path);
    ASSERT_FALSE(s.form.INIfileRead());
    EXPECT_EQ(s.form.txtDisplayName.Text(), "Order Desk");
    EXPECT_EQ(s.form.chkSSL.Value(), 2);
    EXPECT_EQ(s.form.txtAccountName.Text(), "trader");
    EXPECT_EQ(s.form.lstSendTo.ListCount(), 2);
}

TEST(SettingsFileTest, DamagedNumbersReadSafely) {
    struct Case {
        std::string state;  // stored text of both check states
        std::string count;  // stored text of the recipient count
        int16_t expected_state;
        int expected_count;
    };
    const Case cases[] = {
        {"1.5", "1.5", 2, 2},
        {"3", "-4", 0, 0},
        {"-1", "x", 0, 0},
        {"99999999999", "1e300", 0, 0},
        {"0", "2147483647", 0, kMaxStoredRecipients},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string path = dir.Path("quillet.ini");
        WriteFile(path, "[Quillet]\nY2hrU1NM=" + Base64EncodeForINI(c.state) +
                            "\nY2hrQXV0aFJlcXVpcmVk=" + Base64EncodeForINI(c.state) +
                            "\nbHN0U2VuZFRvLkxpc3RDb3VudA$$=" + Base64EncodeForINI(c.count) +
                            "\nRmlsZTI$=YkB4\ndHh0RW1haWw$=-1\n");  // File2 only; email "-1"
        Settings s(path);
        ASSERT_FALSE(s.form.INIfileRead());
        EXPECT_EQ(s.form.chkSSL.Value(), c.expected_state) << c.state;
        EXPECT_EQ(s.form.chkAuthRequired.Value(), c.expected_state) << c.state;
        ASSERT_EQ(s.form.lstSendTo.ListCount(), c.expected_count) << c.count;
        if (c.expected_count == 2) {
            EXPECT_EQ(s.form.lstSendTo.List(0), "");  // missing File1 keeps its place
            EXPECT_EQ(s.form.lstSendTo.List(1), "b@x");
        }
        EXPECT_EQ(s.form.txtEmail.Text(), "");  // a hand-edited "-1" reads as empty
    }
}

}  // namespace
}  // namespace quillet
