// The files the program keeps and reads: the settings file and the help file.
#pragma once

#include <functional>
#include <string>

#include "support/result.h"

namespace quillet {

// The settings file of the executable at `executable_path`: its folder, its file name
// without the extension, and ".ini" ("/opt/q/Quillet.exe" gives "/opt/q/Quillet.ini",
// "/opt/q/quillet" gives "/opt/q/quillet.ini").
std::string SettingsFilePath(const std::string& executable_path);

// The outbox folder beside the settings file at `settings_path`: its name without ".ini", and
// ".outbox" ("/opt/q/quillet.ini" gives "/opt/q/quillet.outbox").
std::string OutboxFolderPath(const std::string& settings_path);

// The order journal beside the settings file at `settings_path`: quillet-journal.sqlite in its
// folder ("/opt/q/quillet.ini" gives "/opt/q/quillet-journal.sqlite", "quillet.ini" gives
// "quillet-journal.sqlite").
std::string JournalFilePath(const std::string& settings_path);

// Every file of a run that follows from its settings file, computed here and only here.
struct RunFiles {
    std::string settings;    // the settings file
    std::string lock;        // "<file>.lock" beside the file the settings path leads to, so
                             // that two links to one settings file share it
    std::string outbox;      // OutboxFolderPath
    std::string journal;     // JournalFilePath
    std::string http_token;  // quillet-http.token in the settings' folder
    std::string fix_config;  // the FIX sessions' settings: --fix-config, else quillet-fix.cfg
                             // in the settings' folder
    bool fix_config_named = false;  // given by --fix-config: a missing one is an error
    std::string fix_store;          // quillet-fix/ beside fix_config: the sessions' store and log
};

// The files of a run on the settings file at `settings_path`, with the --fix-config option
// (empty when not given).
RunFiles FilesOfRun(const std::string& settings_path, const std::string& fix_config_option);

// Where an installed program lives: the folders of the install prefix it was built for.
struct InstalledFolders {
    std::string bin;  // the executables, e.g. "/usr/bin"
    std::string doc;  // the documentation, e.g. "/usr/share/doc/quillet"
};

// What the place of the settings depends on. An empty text counts as not given.
struct SettingsEnvironment {
    std::string settings_option;  // --settings FILE
    std::string xdg_config_home;  // $XDG_CONFIG_HOME
    std::string home;             // $HOME, else the user's home folder
};

struct SettingsLocation {
    std::string path;    // the settings file
    std::string folder;  // for an installed program: the folder to create (mode 0700) first
};

// The settings file: the --settings option when given; else, for an executable in the
// installed `bin` folder, quillet/quillet.ini under $XDG_CONFIG_HOME (when it is an absolute
// path) or else under `home`/.config, with that quillet folder in `folder`; else the file
// beside the executable (SettingsFilePath). Fails only for an installed program with neither
// an absolute $XDG_CONFIG_HOME nor an absolute home folder.
Result<SettingsLocation> ChooseSettingsFile(const std::string& executable_path,
                                            const InstalledFolders& installed,
                                            const SettingsEnvironment& environment);

// The help file: Quillet.chm beside the executable when `exists` says it is there; else the one
// in the installed documentation folder when that exists; else the first for a program run from
// a folder of its own and the second for an installed one.
std::string HelpFilePath(const std::string& executable_path, const InstalledFolders& installed,
                         const std::function<bool(const std::string&)>& exists);

}  // namespace quillet
