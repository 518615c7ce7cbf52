#include <gtest/gtest.h>

#include <tuple>

#include "platform/profile/ini_file.h"
#include "settings/form_email_setup.h"
#include "support/base64.h"
#include "support/mail_doubles.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

struct Settings {
    explicit Settings(const std::string& path) : file(path) {}
    test::RecordingTransport transport;
    IniFile file;
    test::ScriptedScreen screen;
    test::InlineRunner runner;
    LiveMailSettings live;
    formEmailSetup form{{transport, runner, file, screen}, live};
};

TEST(SettingsFileTest, StoresEveryKeyAndValueInBase64AndKeepsForeignLines) {
    test::TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    // As another program, or an older save, left it: LF ends, another section, a comment.
    test::WriteFile(path,
                    "[Other]\nkeep=me\n[QUILLET]\n; note\n"
                    "bHN0U2VuZFRvLkxpc3RDb3VudA$$=NQ$$\n"  // count 5
                    "RmlsZTE$=YUB4\nRmlsZTI$=YkB4\nRmlsZTM$=Y0B4\nRmlsZTQ$=ZEB4\nRmlsZTU$=ZUB4\n");
    {
        Settings s(path);
        ASSERT_TRUE(s.form.INIfileRead().ok());
        ASSERT_EQ(s.form.lstSendTo.ListCount(), 5);
        for (int i = 0; i < 4; ++i) {
            s.form.lstSendTo.RemoveItem(1);
        }
        s.form.lstSendTo.AddItem(" ");  // blanks only: not stored, but counted
        s.form.txtDisplayName.SetText("  Order Desk ");
        s.form.chkSSL.SetValue(2);
        s.form.txtAccountName.SetText("trader");
        ASSERT_TRUE(s.form.INIfileWrite().ok());
    }
    const std::string text = test::ReadFile(path);
    EXPECT_EQ(text.rfind("[Other]\nkeep=me\n[QUILLET]\n; note\n", 0), 0u) << text;
    for (const char* line : {"\r\nY2hrU1NM=Mg$$\r\n", "\nbHN0U2VuZFRvLkxpc3RDb3VudA$$=Mg$$\r\n",
                             "RmlsZTE$=YUB4\r\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
    }
    for (const char* gone : {"RmlsZTI$", "RmlsZTU$", "trader"}) {
        EXPECT_EQ(text.find(gone), std::string::npos) << gone;
    }
    Settings s(path);
    ASSERT_TRUE(s.form.INIfileRead().ok());
    EXPECT_EQ(s.form.txtDisplayName.Text(), "Order Desk");
}

TEST(SettingsFileTest, DamagedNumbersReadSafely) {
    // The stored SSL state and recipient count, and what they read as.
    const std::tuple<std::string, std::string, int16_t, int> cases[] = {
        {"1.5", "1.5", 2, 2},
        {"-1", "x", 0, 0},
        {"99999999999", "1e300", 0, 0},
        {"0", "2147483647", 0, kMaxStoredRecipients},
    };
    for (const auto& [state, count, expected_state, expected_count] : cases) {
        test::TempDir dir;
        const std::string path = dir.Path("quillet.ini");
        test::WriteFile(path, "[Quillet]\nY2hrU1NM=" + Base64EncodeForINI(state) +
                                  "\nbHN0U2VuZFRvLkxpc3RDb3VudA$$=" + Base64EncodeForINI(count) +
                                  "\nRmlsZTI$=YkB4\ndHh0RW1haWw$=-1\n");  // File2 only; email "-1"
        Settings s(path);
        ASSERT_TRUE(s.form.INIfileRead().ok());
        EXPECT_EQ(s.form.chkSSL.Value(), expected_state) << state;
        ASSERT_EQ(s.form.lstSendTo.ListCount(), expected_count) << count;
        if (expected_count == 2) {
            EXPECT_EQ(s.form.lstSendTo.List(0), "");  // missing File1 keeps its place
            EXPECT_EQ(s.form.lstSendTo.List(1), "b@x");
        }
        EXPECT_EQ(s.form.txtEmail.Text(), "");  // a hand-edited "-1" reads as empty
    }
}

}  // namespace
}  // namespace quillet
