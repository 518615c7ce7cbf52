#include "platform/profile/tray_setting.h"

#include <string_view>

#include "support/base64.h"

namespace quillet {
namespace {

constexpr std::string_view kSection = "Quillet";
constexpr std::string_view kKey = "chkKeepInTray";

}  // namespace

bool ReadKeepRunningInTray(ProfileFile& settings_file) {
    if (settings_file.Load()) {
        return false;
    }
    const std::string stored = settings_file.GetString(kSection, Base64EncodeForINI(kKey), "");
    return Base64DecodeFromINI(stored) == "1";
}

std::optional<std::string> WriteKeepRunningInTray(ProfileFile& settings_file, bool keep_running) {
    if (auto error = settings_file.Load()) {
        return error;
    }
    settings_file.SetString(kSection, Base64EncodeForINI(kKey),
                            Base64EncodeForINI(keep_running ? "1" : "0"));
    return settings_file.Save();
}

}  // namespace quillet
