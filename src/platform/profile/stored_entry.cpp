#include "platform/profile/stored_entry.h"

namespace quillet {

std::string ReadStoredEntry(ProfileFile& settings_file, const StoredKey& key) {
    if (!settings_file.Load().ok()) {
        return std::string(key.fallback);
    }
    return ReadStoredValue(settings_file, key.name).value_or(std::string(key.fallback));
}

Result<> WriteStoredEntry(ProfileFile& settings_file, const StoredKey& key,
                                            std::string_view value) {
    if (Result<> loaded = settings_file.Load(); !loaded.ok()) {
        return loaded;
    }
    StageStoredValue(settings_file, key.name, value);
    return settings_file.Save();
}

}  // namespace quillet
