#include "platform/profile/stored_entry.h"

namespace quillet {

std::string ReadStoredEntry(ProfileFile& settings_file, const StoredKey& key) {
    if (settings_file.Load()) {
        return std::string(key.fallback);
    }
    return ReadStoredValue(settings_file, key.name).value_or(std::string(key.fallback));
}

std::optional<std::string> WriteStoredEntry(ProfileFile& settings_file, const StoredKey& key,
                                            std::string_view value) {
    if (auto error = settings_file.Load()) {
        return error;
    }
    StageStoredValue(settings_file, key.name, value);
    return settings_file.Save();
}

}  // namespace quillet
