#include "program/environment_tuning.h"

#include <cstdlib>
#include <iostream>

namespace quillet {

RetrySchedule RetryScheduleFromEnvironment() {
    const char* text = std::getenv("QUILLET_RETRY_SCHEDULE");
    if (text == nullptr || *text == '\0') {
        return {};
    }
    if (auto schedule = ParseRetrySchedule(text)) {
        return *schedule;
    }
    std::cerr << "quillet: QUILLET_RETRY_SCHEDULE is not a schedule, so the usual one holds: "
              << text << '\n';
    return {};
}

std::chrono::seconds SmtpKeepFromEnvironment() {
    constexpr std::chrono::seconds kUsual(60);
    const char* text = std::getenv("QUILLET_SMTP_KEEP_SECONDS");
    if (text == nullptr || *text == '\0') {
        return kUsual;
    }
    char* end = nullptr;
    const long seconds = std::strtol(text, &end, 10);
    if (*end != '\0' || seconds < 0 || seconds > kUsual.count()) {
        std::cerr << "quillet: QUILLET_SMTP_KEEP_SECONDS is not 0 to 60, so a minute holds: "
                  << text << '\n';
        return kUsual;
    }
    return std::chrono::seconds(seconds);
}

}  // namespace quillet
