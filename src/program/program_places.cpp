#include "program/program_places.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/shell/program_files.h"

namespace quillet {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string HomeFolder() {
    if (std::string home = Variable("HOME"); !home.empty()) {
        return home;
    }
    const passwd* user = getpwuid(getuid());
    return user == nullptr || user->pw_dir == nullptr ? std::string() : user->pw_dir;
}

// The installed folders as they are on disk, symbolic links resolved like the executable's.
InstalledFolders Installed() {
    const std::string root = Variable("QUILLET_TEST_INSTALL_ROOT");
    std::error_code ignored;
    return {std::filesystem::weakly_canonical(root + QUILLET_INSTALL_BINDIR, ignored).string(),
            std::filesystem::weakly_canonical(root + QUILLET_INSTALL_DOCDIR, ignored).string()};
}

}  // namespace

Result<ProgramPlaces> FindProgramPlaces(const std::string& executable_path,
                                        const std::string& settings_option,
                                        const std::string& fix_config_option) {
    const InstalledFolders installed = Installed();
    ProgramPlaces places;
    places.help = FindHelpPlaces(executable_path, installed, [](const std::string& path) {
        std::error_code ignored;
        return std::filesystem::is_regular_file(path, ignored);
    });
    const Result<SettingsLocation> settings = ChooseSettingsFile(
        executable_path, installed, {settings_option, Variable("XDG_CONFIG_HOME"), HomeFolder()});
    if (!settings) {
        return settings.error();
    }
    places.settings_file = settings->path;
    places.settings_folder = settings->folder;
    places.files = FilesOfRun(places.settings_file, fix_config_option);
    return places;
}

}  // namespace quillet
