#include "accounts/outlook_express_accounts.h"

#include <string>

#include "accounts/account_flag.h"
#include "accounts/found_account.h"
#include "support/fold_case.h"
#include "support/registry_access.h"

namespace quillet {
namespace {

constexpr std::string_view kAccountsKey = "Software\\Microsoft\\Internet Account Manager\\Accounts";

}  // namespace

void GetOutlookExpressAccounts(RegistryStore& registry, AccountTable& accounts) {
    const std::string default_name = RegValueText(RegReadValue(
        registry, HKEY_CURRENT_USER, kOutlookExpressManagerKey, "Default Mail Account"));
    int32_t listed = 0;
    for (int32_t index = 0;; ++index) {
        const std::string name = RegEnumSubkey(registry, HKEY_CURRENT_USER, kAccountsKey, index);
        if (name.empty()) {
            return;
        }
        const std::string key = std::string(kAccountsKey) + "\\" + name;
        const auto text = [&](std::string_view value) {
            return RegValueText(RegReadValue(registry, HKEY_CURRENT_USER, key, value));
        };
        std::string server = text("SMTP Server");
        if (server.empty()) {
            continue;
        }
        if (listed == kMaxAccountsPerSource) {
            return;  // no registry, however made, fills the dialog with more than it can show
        }
        ++listed;
        MailAccount& account = accounts.Append();
        account.Server = std::move(server);
        if (EqualsIgnoringCase(name, default_name)) {
            account.Default = "*";
        }
        account.Port = text("SMTP Port");
        account.UserName = text("SMTP User Name");
        if (account.UserName.empty()) {
            account.UserName = text("POP3 User Name");
        }
        account.ReqAuth = AccountFlag(text("SMTP Use Sicily"));
        account.Email = text("SMTP Email Address");
        account.SecConn = AccountFlag(text("SMTP Secure Connection"));
        account.Program = "Outlook Express";
        account.DisplayName = text("SMTP Display Name");
    }
}

}  // namespace quillet
