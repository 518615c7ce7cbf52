#include "settings/stored_settings.h"

#include "support/base64.h"

namespace quillet {
namespace {

// No stored form holds "-", so this comes back only for a missing key.
constexpr std::string_view kMissing = "-1";

}  // namespace

std::string RecipientKey(int position) {
    return "File" + std::to_string(position);
}

std::string RecipientRuleKey(int position) {
    return "Rule" + std::to_string(position);
}

std::optional<std::string> ReadStoredValue(const ProfileFile& file, std::string_view key) {
    const std::string stored = file.GetString(kSettingsSection, Base64EncodeForINI(key), kMissing);
    if (stored == kMissing) {
        return std::nullopt;
    }
    return Base64DecodeFromINI(stored);
}

void StageStoredValue(ProfileFile& file, std::string_view key,
                      std::optional<std::string_view> value) {
    const std::string stored_key = Base64EncodeForINI(key);
    if (!value) {
        file.SetString(kSettingsSection, stored_key, std::nullopt);
        return;
    }
    file.SetString(kSettingsSection, stored_key, Base64EncodeForINI(*value));
}

}  // namespace quillet
