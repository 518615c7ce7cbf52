// Where a Wine prefix keeps what the account search reads: its user.reg and the user's local
// application-data folder.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "accounts/file_listing.h"

namespace quillet {

// The environment the places depend on. An empty member counts as unset.
struct AccountEnvironment {
    std::string local_app_data;  // $LOCALAPPDATA
    std::string wine_prefix;     // $WINEPREFIX
    std::string home;            // $HOME
    std::string user;            // the login name
    // $XDG_CONFIG_HOME
    std::string xdg_config_home = {};
};

// `wine_prefix`, else `home`/.wine; empty when both are unset.
std::string WinePrefixFolder(const AccountEnvironment& environment);

// The prefix's user.reg; empty when WinePrefixFolder is.
std::string WineUserRegistryPath(const AccountEnvironment& environment);

// `base` followed by the folders `levels`, each level matched ignoring letter case as Wine
// does (an exact match first); empty when a level is missing.
std::string FindFolderIgnoringCase(const FileListing& files, const std::string& base,
                                   std::initializer_list<std::string_view> levels);

// `local_app_data` when set, as it stands. Otherwise the prefix's folder for the user under
// drive_c/users: the one named `user` (ignoring case), or else the only one there besides
// Public; in it AppData/Local, or else the older Local Settings/Application Data. Empty when
// none of these exists.
std::string LocalAppDataFolder(const AccountEnvironment& environment, const FileListing& files);

}  // namespace quillet
