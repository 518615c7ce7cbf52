// The "Select E-mail Account" dialog's form: the accounts that other mail programs know, one
// of which OK copies into the setup dialog.
#pragma once

#include <cstdint>

#include "accounts/account_search.h"
#include "accounts/mail_account.h"
#include "support/controls.h"

namespace quillet {

class Screen;
class formEmailSetup;

class formAccounts {
  public:
    // Reads the accounts from `sources` (none when null) and copies the chosen one into
    // `setup`; everything must outlive the form.
    formAccounts(const AccountSources* sources, formEmailSetup& setup, Screen& screen);

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
    // 0 "OK": copies the selected account into the setup dialog; 1 "Cancel": nothing. The
    // dialog closes either way.
    void cmdSelect_Click(int16_t Index);

  private:
    const AccountSources* sources_;
    formEmailSetup& setup_;
    Screen& screen_;
};

}  // namespace quillet
