// The accounts of Outlook's default mail profile in the current user's registry.
#pragma once

#include <string_view>

#include "accounts/mail_account.h"
#include "support/registry_store.h"

namespace quillet {

// The key of Outlook's mail profiles, under HKEY_CURRENT_USER; all that it reads is below it.
inline constexpr std::string_view kOutlookProfilesKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";

// Reads "DefaultProfile" of "Software\Microsoft\Windows NT\CurrentVersion\Windows Messaging
// Subsystem\Profiles"; when it is not empty, appends one record per subkey of that profile's
// "9375CFF0413111d3B88A00104B2A6676" key (in enumeration order, stopping at the first index
// that gives no name) whose "SMTP Server" reads as text that is not empty (before decoding).
// Server, UserName ("POP3 User"), DisplayName ("Display Name") and Email ("Email") are the
// values' texts decoded by Bytes2String. ReqAuth: for a REG_DWORD "SMTP Use Auth", 1 when its
// number is greater than 0; for any other value, the flag test of its text decoded by
// Bytes2String. Port, Default and SecConn are left empty or 0. Missing keys and values add
// nothing or leave fields empty. At most kMaxAccountsPerSource records. Never fails.
void GetOutlookAccounts(RegistryStore& registry, AccountTable& accounts);

}  // namespace quillet
