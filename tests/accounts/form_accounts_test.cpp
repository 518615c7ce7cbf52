// "Search Accounts...": the account dialog's form over a Wine prefix made by the test.
#include "accounts/form_accounts.h"

#include <gtest/gtest.h>

#include "platform/accounts/account_services.h"
#include "settings/setup_dialog_slot.h"
#include "support/memory_profile.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::WriteFile;

// Two Outlook Express accounts: one without a port on the shared "Hotmail" host in capitals,
// one needing a login on port 587.
const char* const kUserReg = R"(WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-1-2-3-1000

[Software\\Microsoft\\Internet Account Manager] 1700000000
"Default Mail Account"="00000002"

[Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001] 1700000000
"SMTP Server"="SMTP-MAIL.OUTLOOK.COM"
"SMTP Email Address"="me@hotmail.example"
"SMTP Display Name"="Me"
"SMTP Secure Connection"=dword:00000001

[Software\\Microsoft\\Internet Account Manager\\Accounts\\00000002] 1700000000
"SMTP Server"="mail.example.com"
"SMTP Port"=dword:0000024b
"SMTP User Name"="desk"
"SMTP Use Sicily"=dword:00000002
"SMTP Email Address"="desk@example.com"
"SMTP Display Name"="Order Desk"
)";

struct Search {
    explicit Search(bool with_accounts = true)
        : services(AccountEnvironment{"", dir.path(), "", ""}) {
        if (with_accounts) {
            WriteFile(dir.Path("user.reg"), kUserReg);
        }
    }
    formEmailSetup& form() { return slot.Get(); }
    // Runs "Search Accounts...", the user pressing `button` on row `row`.
    void Run(int row, int16_t button) {
        screen.on_accounts_dialog = [row, button, this](formAccounts& accounts) {
            shown_rows = accounts.lstv.ListCount();
            first_selected = accounts.lstv.SelectedIndex();
            if (row >= 0 && row < accounts.lstv.ListCount()) {
                accounts.lstv.SetSelectedIndex(row);
            }
            accounts.cmdSelect_Click(button);
        };
        form().cmdGuess_Click();
    }

    test::TempDir dir;
    test::RecordingTransport transport;
    test::MemoryProfile file;
    test::ScriptedScreen screen;
    AccountServices services;
    AccountSources sources{services.Sources()};
    SetupDialogSlot slot{{transport, file, screen, "", &sources}};
    int shown_rows = -1;
    int first_selected = -2;
};

TEST(SearchAccountsTest, OkCopiesTheAccountAndAsksForThePassword) {
    Search s;
    s.form().txtPassword.SetText("typed before");
    s.form().lstSendTo.AddItem("kept@x.com");
    int focused = 0;
    const Subscription focus = s.form().txtPassword.OnFocus([&] { ++focused; });
    s.Run(1, 0);
    EXPECT_EQ(focused, 1);
    EXPECT_EQ(s.shown_rows, 2);
    EXPECT_EQ(s.first_selected, 0);
    formEmailSetup& f = s.form();
    EXPECT_EQ(f.cmbServerTemplate.ListIndex(), 5);  // Custom
    EXPECT_EQ(f.txtDisplayName.Text(), "Order Desk");
    EXPECT_EQ(f.txtEmail.Text(), "desk@example.com");
    EXPECT_EQ(f.txtSMTPserver.Text(), "mail.example.com");
    EXPECT_EQ(f.txtPort.Text(), "587");
    EXPECT_EQ(f.chkSSL.Value(), 0);
    EXPECT_EQ(f.chkAuthRequired.Value(), 1);
    EXPECT_EQ(f.txtAccountName.Text(), "desk");
    EXPECT_EQ(f.txtPassword.Text(), "");
    EXPECT_TRUE(f.txtPassword.Enabled());
    EXPECT_EQ(f.lstSendTo.ListCount(), 1);
    ASSERT_EQ(s.screen.messages.size(), 1u);
    EXPECT_EQ(s.screen.messages[0].text,
              "Selected e-mail account requires authentication. Please enter your account "
              "password.");
    EXPECT_EQ(s.screen.messages[0].title, "Quillet");
    EXPECT_EQ(s.screen.messages[0].icon, MessageIcon::Information);
}

TEST(SearchAccountsTest, AccountWithoutLoginEmptiesTheAccountFieldsSilently) {
    Search s;
    s.form().chkAuthRequired.SetValue(1);
    s.form().txtAccountName.SetText("old");
    s.Run(0, 0);
    formEmailSetup& f = s.form();
    EXPECT_EQ(f.cmbServerTemplate.List(f.cmbServerTemplate.ListIndex()), "Hotmail");
    EXPECT_EQ(f.txtPort.Text(), "25");  // the account had none
    EXPECT_EQ(f.chkSSL.Value(), 1);
    EXPECT_EQ(f.chkAuthRequired.Value(), 0);
    EXPECT_EQ(f.txtAccountName.Text(), "");
    EXPECT_FALSE(f.txtAccountName.Enabled());
    EXPECT_FALSE(f.txtPassword.Enabled());
    EXPECT_TRUE(s.screen.messages.empty());
}

TEST(SearchAccountsTest, CancelAndAnEmptyListChangeNothing) {
    for (const bool with_accounts : {true, false}) {
        Search s(with_accounts);
        s.form().chkAuthRequired.SetValue(1);
        s.form().txtSMTPserver.SetText("mine.example.com");
        s.Run(0, with_accounts ? 1 : 0);  // Cancel; or OK on an empty list
        EXPECT_EQ(s.shown_rows, with_accounts ? 2 : 0);
        EXPECT_EQ(s.form().txtSMTPserver.Text(), "mine.example.com");
        EXPECT_TRUE(s.form().txtAccountName.Enabled());
        EXPECT_TRUE(s.screen.messages.empty());
        EXPECT_EQ(s.screen.accounts_dialog_closed, 1);
    }
}

TEST(SearchAccountsTest, ColumnsFitTheirWidestText) {
    Search s;
    formAccounts accounts(&s.sources, s.screen);
    accounts.Form_Load();
    ASSERT_EQ(accounts.lstv.ColumnCount(), 9);
    // 100 twips a character, plus 180.
    EXPECT_FLOAT_EQ(accounts.lstv.ColumnHeader(0).width, 18 * 100 + 180);  // me@hotmail.example
    EXPECT_FLOAT_EQ(accounts.lstv.ColumnHeader(2).width, 7 * 100 + 180);   // "Default"
    EXPECT_FLOAT_EQ(accounts.lstv.ColumnHeader(6).width, 9 * 100 + 180);   // "Req.Auth."
    EXPECT_EQ(accounts.lstv.Row(1),
              (std::vector<std::string>{"desk@example.com", "Outlook Express", "*", "Order Desk",
                                        "mail.example.com", "587", "Yes", "No", "desk"}));
}

}  // namespace
}  // namespace quillet
