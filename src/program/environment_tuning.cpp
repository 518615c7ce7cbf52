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

namespace {

// The whole number from 0 to `most` in the variable `name`; `usual` when it is unset, and,
// once standard error says so, when it is not such a number.
long WholeNumberFromEnvironment(const char* name, long most, long usual) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return usual;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 0 || value > most) {
        std::cerr << "quillet: " << name << " is not 0 to " << most << ", so " << usual
                  << " holds: " << text << '\n';
        return usual;
    }
    return value;
}

}  // namespace

std::chrono::seconds SmtpKeepFromEnvironment() {
    return std::chrono::seconds(WholeNumberFromEnvironment("QUILLET_SMTP_KEEP_SECONDS", 60, 60));
}

std::chrono::milliseconds FixHandlingWaitFromEnvironment() {
    return std::chrono::milliseconds(
        WholeNumberFromEnvironment("QUILLET_FIX_HANDLING_WAIT_MS", 5000, 5000));
}

}  // namespace quillet
