// The alarm's rules, step by step on a test clock (trading hours Monday to Friday, 09:00 to
// 17:00, thirty minutes of silence), and when the daily summary goes.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/watch/silence_alarm.h"
#include "app/watch/summary_schedule.h"

namespace quillet {
namespace {

constexpr int64_t kDayMs = 24 * 3600 * 1000;
constexpr int kMonday = 4;  // 1970-01-05, the epoch being a Thursday

// The instant of `hh_mm` on `day` (days since 1970), the test's zone being UTC.
int64_t At(int day, const std::string& hh_mm) {
    return day * kDayMs + *ReadClockTime(hh_mm) * int64_t{60000};
}

WallTime TestWall(int64_t ms, const std::string& /*zone*/) {
    WallTime wall;
    wall.weekday = static_cast<int>((ms / kDayMs + 3) % 7) + 1;
    wall.second_of_day = static_cast<int>(ms % kDayMs / 1000);
    wall.date = "day " + std::to_string(ms / kDayMs);
    wall.zone = "Test";
    return wall;
}

TEST(SilenceAlarmTest, AlertsInTradingHoursOnceUntilClearedAndTellsTheClearing) {
    enum Do { kConnect, kDisconnect, kOrder, kFixOn, kFixDrop, kCheck, kHoursOff };
    struct Step {
        int day;
        const char* time;
        Do what;
        std::vector<std::string> told;  // subjects sent
    };
    const std::string silence = "no order event for 30 minutes";
    const Step steps[] = {
        {kMonday, "08:00", kConnect, {}},
        {kMonday, "08:50", kCheck, {}},  // before the hours
        {kMonday, "09:29", kCheck, {}},  // silence counts from their start
        {kMonday, "09:30", kCheck, {"Quillet alert: " + silence}},
        {kMonday, "10:30", kCheck, {}},  // not again before it clears
        {kMonday, "10:31", kOrder, {"Quillet alert cleared: " + silence}},
        {kMonday, "11:00", kCheck, {}},
        {kMonday, "11:01", kCheck, {"Quillet alert: " + silence}},
        {kMonday, "12:00", kDisconnect, {"Quillet alert: the platform disconnected"}},
        {kMonday, "12:11", kOrder, {"Quillet alert cleared: " + silence}},
        {kMonday, "13:00", kCheck, {}},  // not connected: no silence
        {kMonday, "13:10", kConnect, {"Quillet alert cleared: the platform disconnected"}},
        {kMonday, "13:39", kCheck, {}},  // counted from the Connect
        {kMonday, "13:40", kCheck, {"Quillet alert: " + silence}},
        {kMonday, "14:00", kFixOn, {}},
        {kMonday, "14:05", kFixDrop, {"Quillet alert: the FIX session dropped"}},
        {kMonday, "14:06", kFixOn, {"Quillet alert cleared: the FIX session dropped"}},
        {kMonday, "16:56", kFixDrop, {}},     // the session's own end of the day
        {kMonday, "16:57", kDisconnect, {}},  // the platform's own
        {kMonday + 5, "10:00", kConnect, {}},
        {kMonday + 5, "11:00", kCheck, {}},       // Saturday
        {kMonday + 5, "11:05", kDisconnect, {}},  // Saturday
        {kMonday + 7, "10:00", kConnect, {}},
        {kMonday + 7, "10:05", kHoursOff, {}},
        {kMonday + 7, "11:00", kCheck, {}},
        {kMonday + 7, "11:05", kDisconnect, {}},
    };
    int64_t now = 0;
    std::vector<WatchAlert> sent;
    SilenceAlarm alarm({[&] { return now; }, &TestWall},
                       [&](const WatchAlert& alert) { sent.push_back(alert); });
    WatchSettings settings;
    settings.days = 0b11111;
    settings.silence_minutes = 30;
    alarm.SetSettings(settings);
    for (const Step& step : steps) {
        now = At(step.day, step.time);
        sent.clear();
        switch (step.what) {
            case kConnect:
                alarm.Connected();
                break;
            case kDisconnect:
                alarm.Disconnected();
                break;
            case kOrder:
                alarm.OrderEvent();
                break;
            case kFixOn:
                alarm.FixState("logged on", "");
                break;
            case kFixDrop:
                alarm.FixState("connecting", "Logout from the broker");
                break;
            case kCheck:
                alarm.Check();
                break;
            case kHoursOff:
                alarm.SetSettings({});
                break;
        }
        std::vector<std::string> subjects;
        for (const WatchAlert& alert : sent) {
            subjects.push_back(alert.subject);
        }
        EXPECT_EQ(subjects, step.told) << "day " << step.day << " " << step.time;
        if (step.what == kFixDrop && !sent.empty()) {
            EXPECT_NE(sent[0].body.find("at 14:05 (Test) on day 4, in trading hours: Logout from "
                                        "the broker."),
                      std::string::npos)
                << sent[0].body;
        }
        if (step.what == kConnect && !sent.empty()) {
            EXPECT_EQ(sent[0].body,
                      "Cleared at 13:10 (Test) on day 4: the platform sent Connect. The alert of "
                      "12:00 (Test) on day 4 said: the platform disconnected.");
        }
    }
}

// A summary at 17:30: at that time in a run that saw the day before it, at a Shutdown once it
// has come, once a day; a run that starts later sends it at its Shutdown only.
TEST(SummaryScheduleTest, GoesAtItsTimeOrAtShutdownOncePerDay) {
    struct Step {
        int day;
        const char* time;
        bool shutdown;
        const char* due;  // the day due, "" for none
    };
    // Day 2's run starts after the time: it did not see the day before it.
    const Step steps[] = {
        {0, "17:29", false, ""},      {0, "17:30", false, "day 0"}, {0, "17:31", false, ""},
        {0, "18:00", true, ""},       {1, "09:00", false, ""},      {1, "10:00", true, ""},
        {1, "17:35", false, "day 1"}, {2, "18:00", false, ""},      {2, "18:01", true, "day 2"},
        {2, "18:02", true, ""},
    };
    int64_t now = 0;
    WatchSettings settings;
    settings.summary_minute = 17 * 60 + 30;
    std::optional<SummarySchedule> schedule;
    for (const Step& step : steps) {
        now = At(step.day, step.time);
        if (step.day == 2 && !step.shutdown && std::string(step.time) == "18:00") {
            settings.summary_sent_day = "day 1";  // a new run, told the day that went
            schedule.reset();
        }
        if (!schedule) {
            schedule.emplace(WatchClock{[&] { return now; }, &TestWall});
            schedule->SetSettings(settings);
        }
        const auto due = step.shutdown ? schedule->DueAtEnd() : schedule->DueNow();
        EXPECT_EQ(due.value_or(""), step.due) << "day " << step.day << " " << step.time;
        if (due) {
            schedule->Sent(*due);
        }
    }
}

}  // namespace
}  // namespace quillet
