#include "platform/profile/history_setting.h"

#include <charconv>
#include <string_view>

#include "support/base64.h"

namespace quillet {
namespace {

constexpr std::string_view kSection = "Quillet";
constexpr std::string_view kKey = "HistoryDays";

}  // namespace

int ReadHistoryDays(ProfileFile& settings_file) {
    if (settings_file.Load()) {
        return kDefaultHistoryDays;
    }
    const std::string stored =
        Base64DecodeFromINI(settings_file.GetString(kSection, Base64EncodeForINI(kKey), ""));
    int days = 0;
    const auto [end, error] = std::from_chars(stored.data(), stored.data() + stored.size(), days);
    if (error != std::errc() || end != stored.data() + stored.size() || days < 1 ||
        days > kMostHistoryDays) {
        return kDefaultHistoryDays;
    }
    return days;
}

std::optional<std::string> WriteHistoryDays(ProfileFile& settings_file, int days) {
    if (auto error = settings_file.Load()) {
        return error;
    }
    settings_file.SetString(kSection, Base64EncodeForINI(kKey),
                            Base64EncodeForINI(std::to_string(days)));
    return settings_file.Save();
}

}  // namespace quillet
