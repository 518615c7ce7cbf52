#include "app/watch/summary_schedule.h"

namespace quillet {

void SummarySchedule::SetSettings(const WatchSettings& settings) {
    minute_ = settings.summary_minute;
    if (settings.summary_sent_day > sent_day_) {  // ISO days sort as they come
        sent_day_ = settings.summary_sent_day;
    }
}

std::optional<std::string> SummarySchedule::DueNow() {
    if (!minute_) {
        return std::nullopt;
    }
    const WallTime wall = clock_.wall(clock_.now_ms(), "");
    if (wall.second_of_day < *minute_ * 60) {
        seen_before_ = wall.date;
        return std::nullopt;
    }
    if (seen_before_ != wall.date || sent_day_ == wall.date) {
        return std::nullopt;
    }
    return wall.date;
}

std::optional<std::string> SummarySchedule::DueAtEnd() const {
    if (!minute_) {
        return std::nullopt;
    }
    const WallTime wall = clock_.wall(clock_.now_ms(), "");
    if (wall.second_of_day < *minute_ * 60 || sent_day_ == wall.date) {
        return std::nullopt;
    }
    return wall.date;
}

}  // namespace quillet
