#include "accounts/wine_folders.h"

#include <vector>

#include "support/fold_case.h"

namespace quillet {
namespace {

std::string Join(const std::string& folder, std::string_view name) {
    if (folder.empty() || folder.back() == '/') {
        return folder + std::string(name);
    }
    return folder + "/" + std::string(name);
}

// The folder of the prefix's users that holds this user's profile.
std::string UserFolderName(const std::vector<FolderEntry>& entries, const std::string& user) {
    std::vector<std::string> others;
    for (const FolderEntry& entry : entries) {
        if (!entry.is_folder) {
            continue;
        }
        if (!user.empty() && entry.name == user) {
            return entry.name;
        }
        if (!EqualsIgnoringCase(entry.name, "Public")) {
            others.push_back(entry.name);
        }
    }
    for (const std::string& name : others) {
        if (!user.empty() && EqualsIgnoringCase(name, user)) {
            return name;
        }
    }
    return others.size() == 1 ? others.front() : std::string();
}

}  // namespace

std::string WinePrefixFolder(const AccountEnvironment& environment) {
    if (!environment.wine_prefix.empty()) {
        return environment.wine_prefix;
    }
    if (!environment.home.empty()) {
        return Join(environment.home, ".wine");
    }
    return {};
}

std::string WineUserRegistryPath(const AccountEnvironment& environment) {
    const std::string prefix = WinePrefixFolder(environment);
    return prefix.empty() ? std::string() : Join(prefix, "user.reg");
}

std::string FindFolderIgnoringCase(const FileListing& files, const std::string& base,
                                   std::initializer_list<std::string_view> levels) {
    std::string folder = base;
    for (std::string_view level : levels) {
        std::string found;
        for (const FolderEntry& entry : files.ListFolder(folder)) {
            if (!entry.is_folder) {
                continue;
            }
            if (entry.name == level) {
                found = entry.name;
                break;
            }
            if (found.empty() && EqualsIgnoringCase(entry.name, level)) {
                found = entry.name;
            }
        }
        if (found.empty()) {
            return {};
        }
        folder = Join(folder, found);
    }
    return folder;
}

std::string LocalAppDataFolder(const AccountEnvironment& environment, const FileListing& files) {
    if (!environment.local_app_data.empty()) {
        return environment.local_app_data;
    }
    const std::string prefix = WinePrefixFolder(environment);
    if (prefix.empty()) {
        return {};
    }
    const std::string users = FindFolderIgnoringCase(files, prefix, {"drive_c", "users"});
    if (users.empty()) {
        return {};
    }
    const std::string user = UserFolderName(files.ListFolder(users), environment.user);
    if (user.empty()) {
        return {};
    }
    const std::string profile = Join(users, user);
    std::string folder = FindFolderIgnoringCase(files, profile, {"AppData", "Local"});
    if (folder.empty()) {
        folder = FindFolderIgnoringCase(files, profile, {"Local Settings", "Application Data"});
    }
    return folder;
}

}  // namespace quillet
