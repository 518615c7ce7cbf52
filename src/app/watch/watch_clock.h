// The clock of the alarm and of the daily summary: the instant, and the wall-clock time of an
// instant in a time zone. Given by the program (the system's clock and time zones) or by a
// test.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillet {

// An instant as a clock on the wall of a time zone shows it.
struct WallTime {
    int weekday = 1;        // 1 Monday ... 7 Sunday
    int second_of_day = 0;  // 0 ... 86399
    std::string date;       // "2026-12-10"
    std::string zone;       // for a person: "Europe/Berlin", or "UTC+01:00" for the system's
};

struct WatchClock {
    std::function<int64_t()> now_ms;  // milliseconds since 1970 (UTC)
    // The wall-clock time of `ms` in the IANA time zone `zone`; the system's for an empty or
    // unknown one.
    std::function<WallTime(int64_t ms, const std::string& zone)> wall;
};

// "HH:MM" of `wall`.
std::string WallClockText(const WallTime& wall);

}  // namespace quillet
