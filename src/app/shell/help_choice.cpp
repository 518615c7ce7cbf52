#include "app/shell/help_choice.h"

namespace quillet {
namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

HelpPlaces FindHelpPlaces(const std::string& executable_path, const InstalledFolders& installed,
                          const std::function<bool(const std::string&)>& exists) {
    HelpPlaces places{HelpFilePath(executable_path, installed, exists),
                      {FolderOf(executable_path) + "/help"}};
    if (!installed.doc.empty()) {
        places.page_folders.push_back(WithoutTrailingSlashes(installed.doc) + "/help");
    }
    return places;
}

HelpChoice ChooseHelp(const HelpPlaces& places, const std::string& page, bool help_file_opens,
                      const std::function<bool(const std::string&)>& exists) {
    const bool help_file_there = exists(places.help_file);
    if (help_file_there && help_file_opens) {
        return {places.help_file, {}};
    }
    std::string looked_for;
    for (const std::string& folder : places.page_folders) {
        const std::string path = folder + "/" + page;
        if (exists(path)) {
            return {path, {}};
        }
        looked_for += (looked_for.empty() ? "" : ", ") + path;
    }
    if (!help_file_there) {
        return {{}, "Help file not found: " + places.help_file};
    }
    return {{},
            "No program on this desktop opens " + places.help_file +
                ", and the help page was not found in its place (looked for " + looked_for + ")."};
}

}  // namespace quillet
