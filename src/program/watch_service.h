// The alarm (SilenceAlarm) and the daily summary (SummarySchedule) as the program wires them:
// their settings from the settings file, read at the start and changed by the "Alarm and
// Summary" dialog; the events and the FIX state the alarm is shown; a check every ten seconds.
// Alerts are mailed through the outbox (kept, retried and journalled) and shown as notices,
// critical for an alert, normal for its clearing, under one key per kind so that a clearing
// replaces its alert. The summary ("Quillet daily summary: 2026-12-10", DaySummary's text, the
// day's record attached as "quillet-2026-12-10.csv", text/csv) is read from the journal on a
// thread of its own, a moment after it is due so that the journal has written what came before,
// and then given to the outbox; the day it went is stored in the settings file.
//
// Lives on the user-interface thread; owns its settings file handle, the alarm, the schedule,
// the timer and the reading thread.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "app/journal/journal.h"
#include "app/orders/order_events.h"
#include "app/outbox/notifier.h"
#include "app/outbox/outbox.h"
#include "app/watch/silence_alarm.h"
#include "app/watch/summary_schedule.h"
#include "mail/mail_worker.h"
#include "platform/profile/ini_file.h"
#include "settings/setup_dialog_slot.h"
#include "ui/screen.h"

namespace quillet {

class WatchService {
  public:
    struct Services {
        Outbox& outbox;
        Journal* journal;  // none: not journalled
        Notifier& notifier;
        SetupDialogSlot& setup;  // the live mail settings
        Screen& screen;          // why the settings could not be saved
    };

    // Reads the settings of `settings_file` (a path) and starts the checks; the summary reads
    // the journal at `journal_file`.
    WatchService(const std::string& settings_file, const std::string& journal_file,
                 Services services);
    // Stops the reading thread: a summary being read is not sent.
    ~WatchService();
    WatchService(const WatchService&) = delete;
    WatchService& operator=(const WatchService&) = delete;

    // Shows the alarm an event as it is handled.
    void Saw(const OrderEvent& event);
    void FixState(const std::string& state, const std::string& detail);
    // The "Alarm and Summary" dialog, modal over `parent`: OK stores and applies its settings.
    void OpenSettings(QWidget* parent);
    // Before the platform's Shutdown is handled: the day's summary when it is due and has not
    // gone, then `then` (at once when there is none; never if the service goes first).
    void BeforeShutdown(std::function<void()> then);

  private:
    void Alert(const WatchAlert& alert);
    void Check();
    // Reads and sends the summary of `day`, then runs `then` (may be empty).
    void SendSummary(const std::string& day, std::function<void()> then);

    Services services_;
    IniFile settings_file_;  // its own, so that no unsaved edit of the setup dialog is lost
    WatchSettings settings_;
    SilenceAlarm alarm_;
    SummarySchedule summary_;
    std::string journal_file_;
    MailWorker reads_;  // the summary's reading of the journal
    QTimer timer_;
};

}  // namespace quillet
