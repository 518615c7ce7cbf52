// Times of day as the program shows them to the user: local time, with the offset from UTC.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

// "14:05:09": the local time of day at `ms` (milliseconds since 1970, UTC).
std::string ClockTime(int64_t ms);

// "UTC+01:00" ("UTC-05:00", "UTC+00:00"): the local time's offset from UTC at `ms`.
std::string UtcOffset(int64_t ms);

// "14:03:07 (UTC+01:00)": ClockTime with its UtcOffset, for a time that must say its zone.
std::string ClockTimeWithZone(int64_t ms);

// "2026-12-10": the local day of `ms`.
std::string LocalDay(int64_t ms);

// The first local midnight after `ms`, in milliseconds since 1970 (UTC).
int64_t NextLocalMidnight(int64_t ms);

}  // namespace quillet
