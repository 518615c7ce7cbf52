#include "app/program_files.h"

namespace quillet {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string SettingsFilePath(const std::string& executable_path) {
    std::string name = NameOf(executable_path);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return FolderOf(executable_path) + "/" + name + ".ini";
}

std::string HelpFilePath(const std::string& executable_path) {
    return FolderOf(executable_path) + "/Quillet.chm";
}

std::string OutboxFolderPath(const std::string& settings_path) {
    std::string path = settings_path;
    if (path.size() > 4 && path.ends_with(".ini")) {
        path.resize(path.size() - 4);
    }
    return path + ".outbox";
}

}  // namespace quillet
