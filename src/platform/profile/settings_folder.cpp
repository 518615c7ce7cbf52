#include "platform/profile/settings_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace quillet {

std::optional<std::string> CreateSettingsFolder(const std::string& folder) {
    if (folder.empty()) {
        return std::nullopt;
    }
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return "cannot create the folder " + part + ": " + std::strerror(errno);
        }
        if (end == std::string::npos) {
            break;
        }
    }
    struct stat status {};
    if (stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return folder + " is not a folder";
    }
    return std::nullopt;
}

}  // namespace quillet
