// The accounts that Outlook Express keeps in the current user's registry.
#pragma once

#include <string_view>

#include "accounts/mail_account.h"
#include "support/registry_store.h"

namespace quillet {

// The key of Outlook Express's account manager, under HKEY_CURRENT_USER; all that it reads is
// in it or below it.
inline constexpr std::string_view kOutlookExpressManagerKey =
    "Software\\Microsoft\\Internet Account Manager";

// Appends one record per subkey of "Software\Microsoft\Internet Account Manager\Accounts" (in
// enumeration order, stopping at the first index that gives no name) whose "SMTP Server" reads
// as text that is not empty. Default is "*" when the subkey's name equals the "Default Mail
// Account" of "Software\Microsoft\Internet Account Manager", ignoring case; UserName falls back
// from "SMTP User Name" to "POP3 User Name"; ReqAuth and SecConn are the flag test of "SMTP Use
// Sicily" and "SMTP Secure Connection"; Port is "SMTP Port" as text (a number as its digits).
// Missing keys and values add nothing or leave fields empty. At most kMaxAccountsPerSource
// records. Never fails.
void GetOutlookExpressAccounts(RegistryStore& registry, AccountTable& accounts);

}  // namespace quillet
