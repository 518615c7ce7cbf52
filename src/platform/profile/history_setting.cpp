#include "platform/profile/history_setting.h"

#include <charconv>
#include <string_view>

#include "platform/profile/stored_entry.h"

namespace quillet {
int ReadHistoryDays(ProfileFile& settings_file) {
    const std::string text = ReadStoredEntry(settings_file, stored::kHistoryDays);
    int days = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), days);
    if (error != std::errc() || end != text.data() + text.size() || days < 1 ||
        days > kMostHistoryDays) {
        return kDefaultHistoryDays;
    }
    return days;
}

Result<> WriteHistoryDays(ProfileFile& settings_file, int days) {
    return WriteStoredEntry(settings_file, stored::kHistoryDays, std::to_string(days));
}

}  // namespace quillet
