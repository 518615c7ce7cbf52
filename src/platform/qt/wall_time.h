// The wall-clock time of an instant in a time zone, through Qt's time zones (WatchClock::wall).
#pragma once

#include <cstdint>
#include <string>

#include "app/watch/watch_clock.h"

namespace quillet {

// `ms` (UTC milliseconds since 1970) in the IANA zone `zone`, or in the system's time zone when
// `zone` is empty or unknown (named then by its offset, "UTC+01:00").
WallTime WallTimeIn(int64_t ms, const std::string& zone);

}  // namespace quillet
