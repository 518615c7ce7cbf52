#include "platform/accounts/account_services.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quillet {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// The user database's name and home folder of the real user id; empty when unknown.
struct UserEntry {
    std::string name;
    std::string home;
};

UserEntry RealUser() {
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return {};
    }
    return {found->pw_name != nullptr ? found->pw_name : "",
            found->pw_dir != nullptr ? found->pw_dir : ""};
}

}  // namespace

AccountEnvironment CurrentAccountEnvironment() {
    AccountEnvironment environment{Variable("LOCALAPPDATA"), Variable("WINEPREFIX"),
                                   Variable("HOME"), Variable("USER"), Variable("XDG_CONFIG_HOME")};
    if (environment.home.empty() || environment.user.empty()) {
        UserEntry user = RealUser();
        if (environment.home.empty()) {
            environment.home = std::move(user.home);
        }
        if (environment.user.empty()) {
            environment.user = std::move(user.name);
        }
    }
    return environment;
}

AccountServices::AccountServices(AccountEnvironment environment)
    : environment_(std::move(environment)),
      registry_(WineUserRegistryPath(environment_), AccountRegistryKeys()) {}

}  // namespace quillet
