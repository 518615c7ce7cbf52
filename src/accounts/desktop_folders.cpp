#include "accounts/desktop_folders.h"

namespace quillet {

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    return path.append(name);
}

std::string NormalPath(std::string_view path) {
    std::string normal = path.starts_with('/') ? "/" : "";
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (!part.empty() && part != ".") {
            normal = JoinPath(normal, part);
        }
    }
    return normal;
}

std::string ConfigHomeFolder(const AccountEnvironment& environment) {
    if (environment.xdg_config_home.starts_with('/')) {
        return environment.xdg_config_home;
    }
    return environment.home.empty() ? std::string() : JoinPath(environment.home, ".config");
}

}  // namespace quillet
