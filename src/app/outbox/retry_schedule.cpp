#include "app/outbox/retry_schedule.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "support/number_text.h"

namespace quillet {
namespace {

std::optional<std::chrono::milliseconds> Seconds(std::string_view text) {
    const std::string whole(text);
    if (whole.empty() || whole.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    const double seconds = ReadLeadingNumber(whole);
    if (!(seconds > 0) || !std::isfinite(seconds) || seconds > 1e9) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(std::max<int64_t>(1, std::llround(seconds * 1000)));
}

}  // namespace

std::chrono::milliseconds RetrySchedule::DelayBefore(int attempt) const {
    const size_t index = static_cast<size_t>(std::max(attempt, 1) - 1);
    return delays[std::min(index, delays.size() - 1)];
}

std::optional<RetrySchedule> ParseRetrySchedule(std::string_view text) {
    RetrySchedule schedule;
    schedule.delays.clear();
    const size_t slash = text.find('/');
    if (slash != std::string_view::npos) {
        const auto give_up = Seconds(text.substr(slash + 1));
        if (!give_up) {
            return std::nullopt;
        }
        schedule.give_up = *give_up;
        text = text.substr(0, slash);
    }
    while (true) {
        const size_t comma = text.find(',');
        const auto delay = Seconds(text.substr(0, comma));
        if (!delay) {
            return std::nullopt;
        }
        schedule.delays.push_back(*delay);
        if (comma == std::string_view::npos) {
            return schedule;
        }
        text.remove_prefix(comma + 1);
    }
}

}  // namespace quillet
