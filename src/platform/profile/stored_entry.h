// One entry of the settings file's [Quillet] section, kept like every other (key and value in
// the file's Base64), for the settings that only the program's own menus and commands change.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/profile_file.h"
#include "settings/stored_settings.h"

namespace quillet {

// The entry's value as the file holds it now (read afresh); the key's fallback when the file
// cannot be read or has no such key.
std::string ReadStoredEntry(ProfileFile& settings_file, const StoredKey& key);

// Stores `value` under `key`: the file is read afresh, the one entry set and the file saved, so
// that its other lines stay as they are. Gives the reason when the file could not be read or
// written.
Result<> WriteStoredEntry(ProfileFile& settings_file, const StoredKey& key,
                                            std::string_view value);

}  // namespace quillet
