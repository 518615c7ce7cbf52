#include "accounts/account_search.h"

#include "accounts/evolution_accounts.h"
#include "accounts/kmail_accounts.h"
#include "accounts/msmtp_accounts.h"
#include "accounts/online_accounts.h"
#include "accounts/outlook_accounts.h"
#include "accounts/outlook_express_accounts.h"
#include "accounts/thunderbird_accounts.h"
#include "accounts/windows_mail_accounts.h"

namespace quillet {

std::vector<std::string> AccountRegistryKeys() {
    return {std::string(kOutlookExpressManagerKey), std::string(kOutlookProfilesKey)};
}

AccountTable SearchAccounts(const AccountSources& sources) {
    AccountTable accounts;
    GetOutlookExpressAccounts(sources.registry, accounts);
    GetOutlookAccounts(sources.registry, accounts);
    GetWindowsMailAccounts(sources.environment, sources.files, accounts);
    GetThunderbirdAccounts(sources.environment, sources.files, accounts);
    GetEvolutionAccounts(sources.environment, sources.files, accounts);
    GetKMailAccounts(sources.environment, sources.files, accounts);
    GetOnlineAccounts(sources.environment, sources.files, accounts);
    GetMsmtpAccounts(sources.environment, sources.files, accounts);
    return accounts;
}

}  // namespace quillet
