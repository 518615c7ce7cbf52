#include "accounts/desktop_folders.h"

namespace quillet {

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    return path.append(name);
}

std::string ConfigHomeFolder(const AccountEnvironment& environment) {
    if (environment.xdg_config_home.starts_with('/')) {
        return environment.xdg_config_home;
    }
    return environment.home.empty() ? std::string() : JoinPath(environment.home, ".config");
}

}  // namespace quillet
