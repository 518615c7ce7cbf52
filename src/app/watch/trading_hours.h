// Whether an instant falls in the trading hours of the watch settings, and where in them.
#pragma once

#include <cstdint>
#include <optional>

#include "app/watch/watch_clock.h"
#include "settings/watch_settings.h"

namespace quillet {

// Where `wall` stands in the trading hours of `settings`: none when trading hours are off or
// `wall` is outside them. Hours whose end comes before their start end on the next day, which
// need not be a trading day (Friday 22:00 to 06:00 covers Saturday's first hours).
struct InHours {
    int64_t since_start_s = 0;  // seconds since the hours began
    int64_t until_end_s = 0;    // seconds until they end
};
std::optional<InHours> TradingHoursAt(const WatchSettings& settings, const WallTime& wall);

}  // namespace quillet
