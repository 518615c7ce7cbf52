#include "support/clock_time.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace quillet {
namespace {

std::tm LocalTime(int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

}  // namespace

std::string ClockTime(int64_t ms) {
    const std::tm local = LocalTime(ms);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string UtcOffset(int64_t ms) {
    const long offset = LocalTime(ms).tm_gmtoff / 60;
    char text[32];
    std::snprintf(text, sizeof text, "UTC%c%02ld:%02ld", offset < 0 ? '-' : '+',
                  std::abs(offset) / 60, std::abs(offset) % 60);
    return text;
}

std::string ClockTimeWithZone(int64_t ms) {
    return ClockTime(ms) + " (" + UtcOffset(ms) + ")";
}

std::string LocalDay(int64_t ms) {
    const std::tm local = LocalTime(ms);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

int64_t NextLocalMidnight(int64_t ms) {
    std::tm local = LocalTime(ms);
    local.tm_mday += 1;
    local.tm_hour = local.tm_min = local.tm_sec = 0;
    local.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&local)) * 1000;
}

}  // namespace quillet
