// The settings of the alarm and of the daily summary, as one plain value, and their keeping in
// the settings file (stored_settings.h). A file without them, or with values that do not read,
// has trading hours off, no silence alert and no summary; the disconnect alert is on (it acts
// only once trading hours are set).
#pragma once

#include <optional>
#include <string>

#include "settings/profile_file.h"
#include "support/result.h"

namespace quillet {

struct WatchSettings {
    // Trading hours: the days (bit 0 Monday ... bit 6 Sunday; none: trading hours are off),
    // from and to in minutes of the day (to before from: they end on the next day), in the
    // IANA time zone `zone` (empty: the system's).
    unsigned days = 0;
    int from_minute = 9 * 60;
    int to_minute = 17 * 60;
    std::string zone;
    int silence_minutes = 0;  // 0: no silence alert
    bool disconnect_alert = true;
    std::optional<int> summary_minute;  // the local time of the daily summary; none: off
    std::string summary_sent_day;       // the local day whose summary went last, YYYY-MM-DD

    bool hours_on() const { return days != 0; }
    bool operator==(const WatchSettings&) const = default;
};

// "HH:MM" (00:00 to 23:59) as minutes of the day; none for anything else.
std::optional<int> ReadClockTime(const std::string& text);
// Minutes of the day as "HH:MM".
std::string ClockTimeText(int minute);

// The settings as the file holds them now (read afresh); the defaults above when the file
// cannot be read.
WatchSettings ReadWatchSettings(ProfileFile& settings_file);

// Stores every setting but summary_sent_day: the file is read afresh, the entries set and the
// file saved, its other lines as they were. Gives the reason when it could not be read or
// written.
Result<> WriteWatchSettings(ProfileFile& settings_file, const WatchSettings& settings);

// Stores the day whose summary went, the same way.
Result<> WriteSummarySentDay(ProfileFile& settings_file, const std::string& day);

}  // namespace quillet
