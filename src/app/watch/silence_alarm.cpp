#include "app/watch/silence_alarm.h"

#include <algorithm>
#include <utility>

#include "app/watch/trading_hours.h"

namespace quillet {
namespace {

// A Disconnect or a FIX logout this close to the end of the trading hours is the day's end.
constexpr int64_t kEndOfDaySeconds = 5 * 60;

const char* KindName(int kind) {
    constexpr const char* kNames[] = {"silence", "disconnect", "fix"};
    return kNames[kind];
}

}  // namespace

SilenceAlarm::SilenceAlarm(WatchClock clock, Send send)
    : clock_(std::move(clock)), send_(std::move(send)) {}

std::string SilenceAlarm::At(const WallTime& wall) const {
    return WallClockText(wall) + " (" + wall.zone + ") on " + wall.date;
}

bool SilenceAlarm::DisconnectTold(const WallTime& wall) const {
    const auto hours = TradingHoursAt(settings_, wall);
    return settings_.disconnect_alert && hours && hours->until_end_s > kEndOfDaySeconds;
}

void SilenceAlarm::Connected() {
    connected_ = true;
    quiet_since_ms_ = clock_.now_ms();
    Clear(kDisconnect, "the platform sent Connect");
}

void SilenceAlarm::Disconnected() {
    connected_ = false;
    const WallTime wall = clock_.wall(clock_.now_ms(), settings_.zone);
    if (DisconnectTold(wall)) {
        Raise(kDisconnect, wall, "the platform disconnected",
              "The platform sent Disconnect at " + At(wall) +
                  ", in trading hours. Its orders are neither listed nor mailed until it "
                  "connects again.");
    }
}

void SilenceAlarm::OrderEvent() {
    quiet_since_ms_ = clock_.now_ms();
    Clear(kSilence, "an order event came");
}

void SilenceAlarm::FixState(const std::string& state, const std::string& detail) {
    const bool logged_on = state == "logged on";
    if (std::exchange(fix_logged_on_, logged_on) == logged_on) {
        return;
    }
    if (logged_on) {
        Clear(kFix, "the FIX session is logged on again");
        return;
    }
    const WallTime wall = clock_.wall(clock_.now_ms(), settings_.zone);
    if (DisconnectTold(wall)) {
        Raise(kFix, wall, "the FIX session dropped",
              "The FIX drop copy's session dropped at " + At(wall) + ", in trading hours" +
                  (detail.empty() ? std::string(".") : ": " + detail + "."));
    }
}

void SilenceAlarm::Check() {
    if (settings_.silence_minutes <= 0 || !connected_ || raised_[kSilence].on) {
        return;
    }
    const int64_t now = clock_.now_ms();
    const WallTime wall = clock_.wall(now, settings_.zone);
    const auto hours = TradingHoursAt(settings_, wall);
    if (!hours) {
        return;
    }
    const int64_t since = std::max(quiet_since_ms_, now - hours->since_start_s * 1000);
    const int64_t limit_ms = settings_.silence_minutes * int64_t{60000};
    if (now - since < limit_ms) {
        return;
    }
    const std::string minutes = std::to_string(settings_.silence_minutes);
    Raise(kSilence, wall, "no order event for " + minutes + " minutes",
          "No order event has come for " + minutes +
              " minutes while the platform is connected, "
              "in trading hours (seen at " +
              At(wall) +
              "). The platform may have stopped or hung: orders it does not send are not "
              "mailed.");
}

void SilenceAlarm::Raise(Kind kind, const WallTime& wall, const std::string& what,
                         const std::string& body) {
    Raised& raised = raised_[kind];
    if (raised.on) {
        return;
    }
    raised = {true, what, At(wall)};
    send_({KindName(kind), false, "Quillet alert: " + what, body});
}

void SilenceAlarm::Clear(Kind kind, const std::string& how) {
    Raised& raised = raised_[kind];
    if (!raised.on) {
        return;
    }
    raised.on = false;
    const WallTime wall = clock_.wall(clock_.now_ms(), settings_.zone);
    send_({KindName(kind), true, "Quillet alert cleared: " + raised.subject,
           "Cleared at " + At(wall) + ": " + how + ". The alert of " + raised.at +
               " said: " + raised.subject + "."});
}

}  // namespace quillet
