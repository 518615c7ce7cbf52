// The real services behind the account search: this process's environment, the Wine prefix's
// user.reg and the local disk. Kept for as long as the caller likes; every search still sees
// the files as they are then. Of the registry only the keys the sources read are held.
#pragma once

#include "accounts/account_search.h"
#include "accounts/wine_folders.h"
#include "platform/files/disk_file_listing.h"
#include "platform/registry/wine_registry_store.h"

namespace quillet {

// $LOCALAPPDATA, $WINEPREFIX, $HOME, $USER and $XDG_CONFIG_HOME as they are now; an unset $HOME or
// $USER is taken from the user database's entry for the real user id. Never fails; what is unknown
// is empty.
AccountEnvironment CurrentAccountEnvironment();

class AccountServices {
  public:
    // The services for `environment` (by default the process's own).
    explicit AccountServices(AccountEnvironment environment = CurrentAccountEnvironment());
    AccountServices(const AccountServices&) = delete;
    AccountServices& operator=(const AccountServices&) = delete;

    // The sources to pass to SearchAccounts; they refer to this object.
    AccountSources Sources() { return AccountSources{registry_, files_, environment_}; }

  private:
    AccountEnvironment environment_;
    WineRegistryStore registry_;
    DiskFileListing files_;
};

}  // namespace quillet
