#include "app/watch/trading_hours.h"

namespace quillet {
namespace {

constexpr int64_t kDay = 24 * 3600;

bool TradingDay(const WatchSettings& settings, int weekday) {
    return (settings.days & (1u << ((weekday + 6) % 7))) != 0;  // weekday 1 is bit 0
}

}  // namespace

std::string WallClockText(const WallTime& wall) {
    return ClockTimeText(wall.second_of_day / 60);
}

std::optional<InHours> TradingHoursAt(const WatchSettings& settings, const WallTime& wall) {
    if (!settings.hours_on()) {
        return std::nullopt;
    }
    const int64_t from = settings.from_minute * int64_t{60};
    const int64_t to = settings.to_minute * int64_t{60};
    const int64_t now = wall.second_of_day;
    if (from < to) {
        if (!TradingDay(settings, wall.weekday) || now < from || now >= to) {
            return std::nullopt;
        }
        return InHours{now - from, to - now};
    }
    if (now >= from && TradingDay(settings, wall.weekday)) {
        return InHours{now - from, kDay - now + to};
    }
    const int yesterday = wall.weekday == 1 ? 7 : wall.weekday - 1;
    if (now < to && TradingDay(settings, yesterday)) {
        return InHours{kDay - from + now, to - now};
    }
    return std::nullopt;
}

}  // namespace quillet
