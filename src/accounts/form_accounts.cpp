#include "accounts/form_accounts.h"

#include <string>
#include <vector>

#include "accounts/account_list_layout.h"
#include "ui/screen.h"

namespace quillet {
namespace {

constexpr int16_t kOk = 0;

const char* YesNo(int32_t flag) {
    return flag != 0 ? "Yes" : "No";
}

std::vector<std::string> RowTexts(const MailAccount& a) {
    return {a.Email, a.Program,        a.Default,        a.DisplayName, a.Server,
            a.Port,  YesNo(a.ReqAuth), YesNo(a.SecConn), a.UserName};
}

}  // namespace

formAccounts::formAccounts(const AccountSources* sources, Screen& screen)
    : sources_(sources), screen_(screen) {
    Label1.SetCaption("Select an account and click OK.");
}

void formAccounts::Form_Load() {
    Accounts.Clear();
    if (sources_) {
        Accounts = SearchAccounts(*sources_);
    }
    DisplayAccounts();
}

void formAccounts::DisplayAccounts() {
    for (const char* caption : {"Email", "Program", "Default", "Display Name", "Server", "Port",
                                "Req.Auth.", "Sec.Conn.", "User Name"}) {
        lstv.AddColumn(caption);
    }
    if (Accounts.AccountCount() == 0) {
        return;
    }
    for (const MailAccount& account : Accounts.All()) {
        lstv.AddRow(RowTexts(account));
    }
    ResizeListView(lstv);
}

void formAccounts::ResizeListView(ListView& list) {
    std::vector<std::string> captions;
    for (int i = 0; i < list.ColumnCount(); ++i) {
        captions.push_back(list.ColumnHeader(i).caption);
    }
    const auto widths = ColumnWidths(captions, list.Rows(), [this](const std::string& text) {
        return screen_.AccountsTextWidth(text);
    });
    for (size_t i = 0; i < widths.size(); ++i) {
        list.SetColumnWidth(static_cast<int>(i), widths[i]);
    }
}

void formAccounts::cmdSelect_Click(int16_t Index) {
    const MailAccount* chosen = Accounts.Accounts(lstv.SelectedIndex() + 1);
    if (Index == kOk && lstv.ListCount() > 0 && chosen) {
        chosen_ = *chosen;
    }
    screen_.CloseAccountsDialog();
}

}  // namespace quillet
