#include "platform/profile/stored_entry.h"

#include "support/base64.h"

namespace quillet {
namespace {

constexpr std::string_view kSection = "Quillet";

}  // namespace

std::string ReadStoredEntry(ProfileFile& settings_file, std::string_view key) {
    if (settings_file.Load()) {
        return {};
    }
    return Base64DecodeFromINI(settings_file.GetString(kSection, Base64EncodeForINI(key), ""));
}

std::optional<std::string> WriteStoredEntry(ProfileFile& settings_file, std::string_view key,
                                            std::string_view value) {
    if (auto error = settings_file.Load()) {
        return error;
    }
    settings_file.SetString(kSection, Base64EncodeForINI(key), Base64EncodeForINI(value));
    return settings_file.Save();
}

}  // namespace quillet
