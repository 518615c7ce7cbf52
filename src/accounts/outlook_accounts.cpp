#include "accounts/outlook_accounts.h"

#include <string>

#include "accounts/account_flag.h"
#include "accounts/bytes2string.h"
#include "accounts/found_account.h"
#include "support/registry_access.h"

namespace quillet {
namespace {

constexpr std::string_view kAccountsSubkey = "9375CFF0413111d3B88A00104B2A6676";

// Outlook keeps the flag as a REG_DWORD, whose digits would decode to nothing.
int32_t AuthFlag(const RegValue& value) {
    if (const auto* number = std::get_if<uint32_t>(&value)) {
        return *number > 0 ? 1 : 0;
    }
    return AccountFlag(Bytes2String(RegValueText(value)));
}

}  // namespace

void GetOutlookAccounts(RegistryStore& registry, AccountTable& accounts) {
    const std::string profile = RegValueText(
        RegReadValue(registry, HKEY_CURRENT_USER, kOutlookProfilesKey, "DefaultProfile"));
    if (profile.empty()) {
        return;
    }
    const std::string accounts_key =
        std::string(kOutlookProfilesKey) + "\\" + profile + "\\" + std::string(kAccountsSubkey);
    int32_t listed = 0;
    for (int32_t index = 0;; ++index) {
        const std::string name = RegEnumSubkey(registry, HKEY_CURRENT_USER, accounts_key, index);
        if (name.empty()) {
            return;
        }
        const std::string key = accounts_key + "\\" + name;
        const auto read = [&](std::string_view value) {
            return RegReadValue(registry, HKEY_CURRENT_USER, key, value);
        };
        const auto decoded = [&](std::string_view value) {
            return Bytes2String(RegValueText(read(value)));
        };
        const std::string server = RegValueText(read("SMTP Server"));
        if (server.empty()) {
            continue;
        }
        if (listed == kMaxAccountsPerSource) {
            return;  // no registry, however made, fills the dialog with more than it can show
        }
        ++listed;
        MailAccount& account = accounts.Append();
        account.Server = Bytes2String(server);
        account.UserName = decoded("POP3 User");
        account.DisplayName = decoded("Display Name");
        account.ReqAuth = AuthFlag(read("SMTP Use Auth"));
        account.Email = decoded("Email");
        account.Program = "Outlook";
    }
}

}  // namespace quillet
