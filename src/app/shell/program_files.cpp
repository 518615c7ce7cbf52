#include "app/shell/program_files.h"

#include <filesystem>

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

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

bool IsInstalled(const std::string& executable_path, const InstalledFolders& installed) {
    return !installed.bin.empty() &&
           FolderOf(executable_path) == WithoutTrailingSlashes(installed.bin);
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

constexpr const char* kHelpFileName = "/Quillet.chm";

}  // namespace

std::string SettingsFilePath(const std::string& executable_path) {
    std::string name = NameOf(executable_path);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return FolderOf(executable_path) + "/" + name + ".ini";
}

Result<SettingsLocation> ChooseSettingsFile(const std::string& executable_path,
                                            const InstalledFolders& installed,
                                            const SettingsEnvironment& environment) {
    if (!environment.settings_option.empty()) {
        return SettingsLocation{environment.settings_option, {}};
    }
    if (!IsInstalled(executable_path, installed)) {
        return SettingsLocation{SettingsFilePath(executable_path), {}};
    }
    std::string config_home;
    if (IsAbsolute(environment.xdg_config_home)) {
        config_home = WithoutTrailingSlashes(environment.xdg_config_home);
    } else if (IsAbsolute(environment.home)) {
        config_home = WithoutTrailingSlashes(environment.home) + "/.config";
    } else {
        return Fail("no home folder is known (HOME and XDG_CONFIG_HOME are not set)");
    }
    const std::string folder = (config_home == "/" ? "" : config_home) + "/quillet";
    return SettingsLocation{folder + "/quillet.ini", folder};
}

std::string HelpFilePath(const std::string& executable_path, const InstalledFolders& installed,
                         const std::function<bool(const std::string&)>& exists) {
    const std::string beside = FolderOf(executable_path) + kHelpFileName;
    if (installed.doc.empty() || exists(beside)) {
        return beside;
    }
    const std::string in_doc = WithoutTrailingSlashes(installed.doc) + kHelpFileName;
    return exists(in_doc) || IsInstalled(executable_path, installed) ? in_doc : beside;
}

RunFiles FilesOfRun(const std::string& settings_path, const std::string& fix_config_option) {
    RunFiles files;
    files.settings = settings_path;
    std::error_code ignored;
    const std::filesystem::path resolved =
        std::filesystem::weakly_canonical(settings_path, ignored);
    files.lock = (resolved.empty() ? settings_path : resolved.string()) + ".lock";
    files.outbox = OutboxFolderPath(settings_path);
    files.journal = JournalFilePath(settings_path);
    files.http_token = FolderOf(settings_path) + "/quillet-http.token";
    files.fix_config_named = !fix_config_option.empty();
    files.fix_config =
        files.fix_config_named ? fix_config_option : FolderOf(settings_path) + "/quillet-fix.cfg";
    files.fix_store = FolderOf(files.fix_config) + "/quillet-fix";
    return files;
}

std::string OutboxFolderPath(const std::string& settings_path) {
    std::string path = settings_path;
    if (path.size() > 4 && path.ends_with(".ini")) {
        path.resize(path.size() - 4);
    }
    return path + ".outbox";
}

std::string JournalFilePath(const std::string& settings_path) {
    const size_t slash = settings_path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : settings_path.substr(0, slash + 1);
    return folder + "quillet-journal.sqlite";
}

}  // namespace quillet
