// The alarm of the run (SilenceAlarm) as the program wires it: its settings from the settings
// file, read at the start and changed by the "Alarm and Summary" dialog; the events and the FIX
// state it is shown; a check every ten seconds; its alerts mailed through the outbox (kept,
// retried and journalled) and shown as notices, critical for an alert, normal for its clearing,
// under one key per kind so that a clearing replaces its alert.
//
// Lives on the user-interface thread; owns its settings file handle, the alarm and the timer.
#pragma once

#include <QObject>
#include <QTimer>
#include <string>

#include "app/journal/journal.h"
#include "app/orders/order_events.h"
#include "app/outbox/notifier.h"
#include "app/outbox/outbox.h"
#include "app/watch/silence_alarm.h"
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

    // Reads the settings of `settings_file` (a path) and starts the checks.
    WatchService(const std::string& settings_file, Services services);

    // Shows the alarm an event as it is handled.
    void Saw(const OrderEvent& event);
    void FixState(const std::string& state, const std::string& detail);
    // The "Alarm and Summary" dialog, modal over `parent`: OK stores and applies its settings.
    void OpenSettings(QWidget* parent);

  private:
    void Alert(const WatchAlert& alert);

    Services services_;
    IniFile settings_file_;  // its own, so that no unsaved edit of the setup dialog is lost
    WatchSettings settings_;
    SilenceAlarm alarm_;
    QTimer timer_;
};

}  // namespace quillet
