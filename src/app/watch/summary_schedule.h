// When the daily summary goes: at its time of the day (local time) in a run that saw the day
// before that time, or at the platform's Shutdown once its time has come; once a day, across
// runs (the day that went is kept in the settings, summary_sent_day). A run started after the
// day's time sends that day's summary at its Shutdown only. A plain class of the
// user-interface thread; its clock is given.
#pragma once

#include <optional>
#include <string>

#include "app/watch/watch_clock.h"
#include "settings/watch_settings.h"

namespace quillet {

class SummarySchedule {
  public:
    explicit SummarySchedule(WatchClock clock) : clock_(std::move(clock)) {}

    // The time of the summary, and the day that went (a later one than this run's is taken).
    void SetSettings(const WatchSettings& settings);

    // The local day ("2026-12-10") whose summary is due now by the clock; none when it is not.
    // To be called often (every few seconds).
    std::optional<std::string> DueNow();
    // The day whose summary is due at a Shutdown now: its time has come and it has not gone.
    std::optional<std::string> DueAtEnd() const;
    // The summary of `day` went: it is due no more.
    void Sent(const std::string& day) { sent_day_ = day; }

  private:
    WatchClock clock_;
    std::optional<int> minute_;
    std::string sent_day_;
    std::string seen_before_;  // the last day this run saw before the summary's time
};

}  // namespace quillet
