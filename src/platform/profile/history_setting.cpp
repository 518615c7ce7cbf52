#include "platform/profile/history_setting.h"

#include <charconv>
#include <string_view>

#include "platform/profile/stored_entry.h"

namespace quillet {
namespace {

constexpr std::string_view kKey = "HistoryDays";

}  // namespace

int ReadHistoryDays(ProfileFile& settings_file) {
    const std::string stored = ReadStoredEntry(settings_file, kKey);
    int days = 0;
    const auto [end, error] = std::from_chars(stored.data(), stored.data() + stored.size(), days);
    if (error != std::errc() || end != stored.data() + stored.size() || days < 1 ||
        days > kMostHistoryDays) {
        return kDefaultHistoryDays;
    }
    return days;
}

std::optional<std::string> WriteHistoryDays(ProfileFile& settings_file, int days) {
    return WriteStoredEntry(settings_file, kKey, std::to_string(days));
}

}  // namespace quillet
