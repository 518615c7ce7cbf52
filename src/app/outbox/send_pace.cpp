#include "app/outbox/send_pace.h"

#include <algorithm>
#include <cctype>

#include "support/clock_time.h"
#include "support/fold_case.h"

namespace quillet {
namespace {

constexpr int64_t kMinuteMs = 60 * 1000;
constexpr int64_t kFirstSlowMs = 30 * 1000;
constexpr int64_t kLongestSlowMs = 15 * 60 * 1000;

bool HasWord(const std::string& text, const std::string& word) {
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        if (at == 0 || !std::isalpha(static_cast<unsigned char>(text[at - 1]))) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool SpeaksOfRate(const std::string& reply) {
    const bool slowing_code = reply.starts_with("421") || reply.starts_with("451") ||
                              reply.find(" 4.7.") != std::string::npos;
    const std::string words = FoldCase(reply);  // in capitals
    return reply.starts_with("4") && slowing_code &&
           (HasWord(words, "TOO MANY") || HasWord(words, "RATE") || HasWord(words, "THROTTL"));
}

std::optional<SendPace::Wait> SendPace::Before(const MailSettings& limits, size_t recipients,
                                               int64_t now) {
    if (slow_until_ms_ > now) {
        return Wait{slow_until_ms_, "paced: the server asked for a slower pace"};
    }
    StartDay(now);
    if (limits.per_day > 0 && today_.recipients > 0 &&
        today_.recipients + static_cast<int64_t>(recipients) > limits.per_day) {
        return Wait{NextLocalMidnight(now), "daily limit of " + std::to_string(limits.per_day) +
                                                " recipients reached: goes at 00:00"};
    }
    while (!minute_.empty() && minute_.front() <= now - kMinuteMs) {
        minute_.pop_front();
    }
    if (limits.per_minute > 0 && minute_.size() >= static_cast<size_t>(limits.per_minute)) {
        return Wait{minute_.front() + kMinuteMs,
                    "paced: " + std::to_string(limits.per_minute) + " a minute"};
    }
    return std::nullopt;
}

bool SendPace::Sent(const MailSettings& limits, size_t recipients, int64_t now) {
    minute_.push_back(now);
    slow_for_ms_ = slow_for_ms_ / 2 < kFirstSlowMs ? 0 : slow_for_ms_ / 2;
    StartDay(now);
    today_.recipients += static_cast<int64_t>(recipients);
    if (limits.per_day <= 0 || today_.recipients * 10 < limits.per_day * 9LL ||
        warned_day_ == today_.day) {
        return false;
    }
    warned_day_ = today_.day;
    return true;
}

void SendPace::StartDay(int64_t now) {
    if (std::string day = LocalDay(now); day != today_.day) {
        today_ = {std::move(day), 0};
    }
}

void SendPace::SlowDown(int64_t now) {
    slow_for_ms_ = std::clamp(slow_for_ms_ * 2, kFirstSlowMs, kLongestSlowMs);
    slow_until_ms_ = now + slow_for_ms_;
}

}  // namespace quillet
