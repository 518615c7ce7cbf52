// "Keep running in the tray when the window is closed": a setting of the settings file, off
// until the user turns it on, kept like every other entry (key and value in the file's Base64).
#pragma once

#include <optional>
#include <string>

#include "settings/profile_file.h"

namespace quillet {

// The setting as the file holds it now (read afresh); off when the file or the key is missing,
// unreadable or holds anything but "1".
bool ReadKeepRunningInTray(ProfileFile& settings_file);

// Stores the setting: the file is read afresh, the one entry set and the file saved, so that
// its other lines stay as they are. Gives the reason when the file could not be read or written.
Result<> WriteKeepRunningInTray(ProfileFile& settings_file, bool keep_running);

}  // namespace quillet
