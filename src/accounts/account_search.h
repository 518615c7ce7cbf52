// The whole account search: every source, in the order the account dialog lists them.
#pragma once

#include <string>
#include <vector>

#include "accounts/file_listing.h"
#include "accounts/mail_account.h"
#include "accounts/wine_folders.h"
#include "support/registry_store.h"

namespace quillet {

// The services the sources read.
struct AccountSources {
    RegistryStore& registry;
    const FileListing& files;
    AccountEnvironment environment;
};

// The registry keys (under HKEY_CURRENT_USER) that the sources read, each with the keys below
// it; a store may hold only these.
std::vector<std::string> AccountRegistryKeys();

// A fresh table filled by GetOutlookExpressAccounts, GetOutlookAccounts and
// GetWindowsMailAccounts (the Wine prefix), then GetThunderbirdAccounts, GetEvolutionAccounts,
// GetKMailAccounts, GetOnlineAccounts and GetMsmtpAccounts (the Linux desktop), in that order.
// No password is read. Never fails: what cannot be read is missing from the table.
AccountTable SearchAccounts(const AccountSources& sources);

}  // namespace quillet
