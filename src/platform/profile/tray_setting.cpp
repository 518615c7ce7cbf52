#include "platform/profile/tray_setting.h"

#include "platform/profile/stored_entry.h"

namespace quillet {
bool ReadKeepRunningInTray(ProfileFile& settings_file) {
    return ReadStoredEntry(settings_file, stored::kKeepInTray) == "1";
}

Result<> WriteKeepRunningInTray(ProfileFile& settings_file, bool keep_running) {
    return WriteStoredEntry(settings_file, stored::kKeepInTray, keep_running ? "1" : "0");
}

}  // namespace quillet
