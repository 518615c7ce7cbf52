// The files that live beside the program's executable.
#pragma once

#include <string>

namespace quillet {

// The settings file of the executable at `executable_path`: its folder, its file name
// without the extension, and ".ini" ("/opt/q/Quillet.exe" gives "/opt/q/Quillet.ini",
// "/opt/q/quillet" gives "/opt/q/quillet.ini").
std::string SettingsFilePath(const std::string& executable_path);

// The outbox folder beside the settings file at `settings_path`: its name without ".ini", and
// ".outbox" ("/opt/q/quillet.ini" gives "/opt/q/quillet.outbox").
std::string OutboxFolderPath(const std::string& settings_path);

// The help file beside the executable: its folder and "Quillet.chm".
std::string HelpFilePath(const std::string& executable_path);

}  // namespace quillet
