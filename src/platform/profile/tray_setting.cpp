#include "platform/profile/tray_setting.h"

#include "platform/profile/stored_entry.h"

namespace quillet {
namespace {

constexpr std::string_view kKey = "chkKeepInTray";

}  // namespace

bool ReadKeepRunningInTray(ProfileFile& settings_file) {
    return ReadStoredEntry(settings_file, kKey) == "1";
}

std::optional<std::string> WriteKeepRunningInTray(ProfileFile& settings_file, bool keep_running) {
    return WriteStoredEntry(settings_file, kKey, keep_running ? "1" : "0");
}

}  // namespace quillet
