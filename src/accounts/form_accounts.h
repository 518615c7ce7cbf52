// The "Select E-mail Account" dialog's form: the accounts that other mail programs know, one
// of which OK chooses for the setup dialog to copy.
#pragma once

#include <cstdint>
#include <optional>

#include "accounts/account_search.h"
#include "accounts/mail_account.h"
#include "ui/controls.h"

namespace quillet {

class Screen;

class formAccounts {
  public:
    // Reads the accounts from `sources` (none when null); both must outlive the form.
    formAccounts(const AccountSources* sources, Screen& screen);

    Label Label1;
    ListView lstv;  // one row per record of Accounts, in the same order

    // The accounts found, record p shown by row p.
    AccountTable Accounts;

    // Load: reads every source afresh, in SearchAccounts's order, and fills the list. The view
    // centres the dialog over the setup dialog.
    void Form_Load();
    // Fills the list: nine columns, a row per account, the first selected, columns sized.
    void DisplayAccounts();
    // Makes each column 180 twips wider than its caption or its widest cell.
    void ResizeListView(ListView& list);
    // 0 "OK": chooses the selected account (nothing when the list is empty); 1 "Cancel":
    // chooses nothing. The dialog closes either way.
    void cmdSelect_Click(int16_t Index);

    // The account that OK chose; empty after Cancel, the close box, or OK on an empty list.
    const std::optional<MailAccount>& ChosenAccount() const { return chosen_; }

  private:
    const AccountSources* sources_;
    Screen& screen_;
    std::optional<MailAccount> chosen_;
};

}  // namespace quillet
