// When the outbox tries a waiting mail again.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

namespace quillet {

struct RetrySchedule {
    // The wait before attempt n (1 for the first retry) is delays[n - 1]; the last delay
    // repeats. Never empty.
    std::vector<std::chrono::milliseconds> delays{std::chrono::seconds(10),
                                                  std::chrono::seconds(30), std::chrono::minutes(1),
                                                  std::chrono::minutes(2), std::chrono::minutes(5)};
    // A mail still undelivered this long after its order is marked failed.
    std::chrono::milliseconds give_up{std::chrono::hours(24)};

    std::chrono::milliseconds DelayBefore(int attempt) const;
};

// A schedule written as the delays in seconds, separated by commas ("10,30,60"), optionally
// followed by "/" and the give-up time in seconds ("0.2,0.5/5"). Empty when the text is not
// one (no delay, a delay not a positive number, a give-up time not a positive number).
std::optional<RetrySchedule> ParseRetrySchedule(std::string_view text);

}  // namespace quillet
