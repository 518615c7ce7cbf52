#include "settings/watch_settings.h"

#include <cstdio>
#include <string_view>

#include "settings/stored_settings.h"
#include "support/number_text.h"

namespace quillet {
namespace {

std::string Stored(const ProfileFile& file, const StoredKey& key) {
    return ReadStoredValue(file, key.name).value_or(std::string(key.fallback));
}

}  // namespace

std::optional<int> ReadClockTime(const std::string& text) {
    const auto digit = [&](size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    if (text.size() != 5 || text[2] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4)) {
        return std::nullopt;
    }
    const int hours = (text[0] - '0') * 10 + (text[1] - '0');
    const int minutes = (text[3] - '0') * 10 + (text[4] - '0');
    if (hours > 23 || minutes > 59) {
        return std::nullopt;
    }
    return hours * 60 + minutes;
}

std::string ClockTimeText(int minute) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", (minute / 60) % 24, minute % 60);
    return text;
}

WatchSettings ReadWatchSettings(ProfileFile& settings_file) {
    WatchSettings settings;
    if (!settings_file.Load().ok()) {
        return settings;
    }
    for (const char c : Stored(settings_file, stored::kTradingDays)) {
        if (c >= '1' && c <= '7') {
            settings.days |= 1u << (c - '1');
        }
    }
    const auto from = ReadClockTime(Stored(settings_file, stored::kTradingFrom));
    const auto to = ReadClockTime(Stored(settings_file, stored::kTradingTo));
    if (!from || !to || *from == *to) {
        settings.days = 0;  // no hours that read: off
    } else {
        settings.from_minute = *from;
        settings.to_minute = *to;
    }
    settings.zone = Stored(settings_file, stored::kTradingZone);
    const int silence = ReadWholeNumber(Stored(settings_file, stored::kSilenceMinutes)).value_or(0);
    settings.silence_minutes = silence > 0 && silence <= 24 * 60 ? silence : 0;
    settings.disconnect_alert = Stored(settings_file, stored::kDisconnectAlert) != "0";
    settings.summary_minute = ReadClockTime(Stored(settings_file, stored::kSummaryAt));
    settings.summary_sent_day = Stored(settings_file, stored::kSummarySentDay);
    return settings;
}

Result<> WriteWatchSettings(ProfileFile& settings_file, const WatchSettings& settings) {
    if (Result<> loaded = settings_file.Load(); !loaded.ok()) {
        return loaded;
    }
    std::string days;
    for (int day = 0; day < 7; ++day) {
        if ((settings.days & (1u << day)) != 0) {
            days += static_cast<char>('1' + day);
        }
    }
    const auto stage = [&](const StoredKey& key, const std::string& value) {
        StageStoredValue(settings_file, key.name,
                         value.empty() ? std::nullopt : std::optional<std::string_view>(value));
    };
    stage(stored::kTradingDays, days);
    stage(stored::kTradingFrom, ClockTimeText(settings.from_minute));
    stage(stored::kTradingTo, ClockTimeText(settings.to_minute));
    stage(stored::kTradingZone, settings.zone);
    stage(stored::kSilenceMinutes, std::to_string(settings.silence_minutes));
    stage(stored::kDisconnectAlert, settings.disconnect_alert ? "1" : "0");
    stage(stored::kSummaryAt,
          settings.summary_minute ? ClockTimeText(*settings.summary_minute) : std::string());
    return settings_file.Save();
}

Result<> WriteSummarySentDay(ProfileFile& settings_file, const std::string& day) {
    if (Result<> loaded = settings_file.Load(); !loaded.ok()) {
        return loaded;
    }
    StageStoredValue(settings_file, stored::kSummarySentDay.name, day);
    return settings_file.Save();
}

}  // namespace quillet
