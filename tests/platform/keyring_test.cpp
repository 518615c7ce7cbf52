// The password in a real GNOME Keyring (with_keyring.sh), and in the settings file when no
// keyring answers (run with no session bus).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QtTest/QTest>
#include <functional>
#include <string>

#include "platform/keyring/keychain_password_store.h"
#include "platform/profile/ini_file.h"
#include "settings/setup_dialog_slot.h"
#include "support/base64.h"
#include "support/mail_doubles.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

// One run of the program's settings: a store, a file and the dialog's slot over them.
struct Start {
    explicit Start(const std::string& path) : file(path) {}
    formEmailSetup& Dialog() { return slot.Get(); }
    // Ends the run as the program does: the dialog saved, then the keyring's jobs finished.
    void End() {
        slot.Unload();
        EXPECT_TRUE(passwords.Finish(std::chrono::seconds(10)));
    }

    KeychainPasswordStore passwords;
    IniFile file;
    test::RecordingTransport transport;
    test::InlineRunner runner;
    test::ScriptedScreen screen;
    SetupDialogSlot slot{{transport, runner, file, screen}, &passwords};
};

// A settings file of an account on this machine, with `password` in it when not empty.
void WriteAccount(const std::string& path, const std::string& password) {
    IniFile file(path);
    ASSERT_TRUE(file.Load().ok());
    const auto set = [&file](const std::string& key, const std::string& value) {
        file.SetString("Quillet", Base64EncodeForINI(key), Base64EncodeForINI(value));
    };
    set("txtSMTPserver", "127.0.0.1");
    set("txtPort", "2525");
    set("chkAuthRequired", "1");
    set("txtAccountName", "trader-" + std::to_string(::getpid()));
    if (!password.empty()) {
        set("txtPassword", password);
    }
    ASSERT_TRUE(file.Save().ok());
}

bool FileHolds(const std::string& path, const std::string& password) {
    return test::ReadFile(path).find(Base64EncodeForINI(password)) != std::string::npos;
}

// A new run reads the password back from the keyring, while the mails wait for it.
void ExpectReadBack(const std::string& path, const std::string& password) {
    Start run(path);
    bool settled = false;
    const Subscription told = run.slot.OnPasswordSettled([&settled] { settled = true; });
    run.Dialog();
    EXPECT_TRUE(run.slot.PasswordPending());
    EXPECT_TRUE(QTest::qWaitFor([&] { return settled; }, 10000));
    EXPECT_FALSE(run.slot.PasswordPending());
    EXPECT_EQ(run.Dialog().txtPassword.Text(), password);
    EXPECT_EQ(run.slot.Settings().password, password);
    run.End();
    EXPECT_FALSE(FileHolds(path, password));
}

TEST(KeyringTest, ASavedPasswordIsKeptThereAndReadBackAfterARestart) {
    test::TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    WriteAccount(path, "");
    {
        Start run(path);
        run.Dialog().txtPassword.SetText("typed s3cret");
        run.End();
    }
    EXPECT_FALSE(FileHolds(path, "typed s3cret"));
    ExpectReadBack(path, "typed s3cret");
}

TEST(KeyringTest, APasswordInAnOlderFileMovesToTheKeyringAtTheNextSave) {
    test::TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    WriteAccount(path, "old s3cret");
    {
        Start run(path);
        run.Dialog();
        EXPECT_FALSE(run.slot.PasswordPending());  // the file's password is there at once
        EXPECT_EQ(run.slot.Settings().password, "old s3cret");
        run.End();
    }
    EXPECT_FALSE(FileHolds(path, "old s3cret"));
    ExpectReadBack(path, "old s3cret");
}

TEST(NoKeyringTest, TheFileKeepsThePasswordAndTheDialogSaysSo) {
    const char* bus = ::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (bus == nullptr || std::string(bus) != "disabled:") {
        GTEST_SKIP() << "for a run with no session bus";
    }
    test::TempDir dir;
    const std::string path = dir.Path("quillet.ini");
    WriteAccount(path, "");
    Start run(path);
    formEmailSetup& dialog = run.Dialog();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !run.slot.PasswordPending(); }, 10000));
    EXPECT_EQ(dialog.lblLog.Caption(), kPasswordInFileNote);
    dialog.txtPassword.SetText("s3cret");
    run.End();
    EXPECT_TRUE(FileHolds(path, "s3cret"));
}

}  // namespace
}  // namespace quillet
