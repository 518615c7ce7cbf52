// "Start with the Desktop": the program's entry in the user's autostart folder, which the
// desktop reads at login ($XDG_CONFIG_HOME/autostart/<desktop id>.desktop, ~/.config when
// XDG_CONFIG_HOME is unset or not an absolute path).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillet {

// Where the entry goes: the program's desktop id and the two variables that place it.
struct AutostartPlace {
    std::string app_id;           // e.g. "example.quillet.Quillet", also the icon's name
    std::string xdg_config_home;  // $XDG_CONFIG_HOME, empty when unset
    std::string home;             // $HOME, empty when unset
};

// The place from this process's environment; HOME falls back to the user's home folder in the
// password database.
AutostartPlace AutostartPlaceFromEnvironment(std::string app_id);

// The entry's file; empty when neither variable gives an absolute folder.
std::string AutostartEntryPath(const AutostartPlace& place);

// Whether the desktop starts the program at login: the entry exists and is not switched off
// (Hidden=true, or X-GNOME-Autostart-enabled=false as the desktops' own start-up settings
// write it).
bool HasAutostartEntry(const AutostartPlace& place);

// Writes the entry that starts `executable` with `arguments`, replacing any entry there
// before, all at once; the folders are made (0700) when missing. Gives the reason when it
// could not, also when a text cannot stand in an entry (not UTF-8, control characters).
std::optional<std::string> WriteAutostartEntry(const AutostartPlace& place,
                                               const std::string& executable,
                                               const std::vector<std::string>& arguments);

// Removes the entry; no entry is no error. Gives the reason when it could not.
std::optional<std::string> RemoveAutostartEntry(const AutostartPlace& place);

}  // namespace quillet
