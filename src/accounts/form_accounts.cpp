#include "accounts/form_accounts.h"

#include <string>
#include <vector>

#include "accounts/account_list_layout.h"
#include "settings/form_email_setup.h"
#include "settings/server_templates.h"
#include "support/program_wide.h"
#include "support/screen.h"

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

formAccounts::formAccounts(const AccountSources* sources, formEmailSetup& setup, Screen& screen)
    : sources_(sources), setup_(setup), screen_(screen) {
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
        const MailAccount r = *chosen;
        setup_.cmbServerTemplate.SetListIndex(MatchingTemplate(r.Server) - 1);
        setup_.txtDisplayName.SetText(r.DisplayName);
        setup_.txtEmail.SetText(r.Email);
        setup_.txtSMTPserver.SetText(r.Server);
        setup_.txtPort.SetText(r.Port.empty() ? "25" : r.Port);
        setup_.chkSSL.SetValue(r.SecConn != 0 ? 1 : 0);
        setup_.chkAuthRequired.SetValue(r.ReqAuth != 0 ? 1 : 0);
        setup_.txtAccountName.SetText(r.ReqAuth != 0 ? r.UserName : "");
        setup_.txtPassword.SetText("");
        Program().AccountSelected = true;
    }
    screen_.CloseAccountsDialog();
}

}  // namespace quillet
