// The alarm: tells the user, in trading hours, when the platform falls silent, disconnects, or
// the FIX drop copy's session drops, and again when that has cleared.
//
// Kinds and their rules (trading_hours.h; nothing is raised while trading hours are off):
// - silence: no order event for `silence_minutes` (counted from the last order event, the
//   platform's Connect or the start of the day's trading hours, whichever is latest) while the
//   platform is connected and the hours last; cleared by the next order event;
// - disconnect: the platform's Disconnect in trading hours, but for one in their last five
//   minutes (the platform's own at the end of the day); cleared by its next Connect;
// - FIX drop: the FIX session leaves "logged on" in trading hours, again but in their last
//   five minutes; cleared when it is logged on again.
// Disconnect and FIX drop need `disconnect_alert`. A kind raised is not raised again until it
// has cleared once; its clearing is told whenever it comes, in trading hours or not.
//
// A plain class of the user-interface thread; its clock is given, and Check is to be called
// often (every few seconds) for the silence to be seen in time.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/watch/watch_clock.h"
#include "settings/watch_settings.h"

namespace quillet {

struct WatchAlert {
    std::string kind;      // "silence", "disconnect" or "fix"
    bool cleared = false;  // the alert's condition has cleared: a recovery
    std::string subject;   // "Quillet alert: ...", "Quillet alert cleared: ..."
    std::string body;      // whole sentences
};

class SilenceAlarm {
  public:
    using Send = std::function<void(const WatchAlert&)>;

    SilenceAlarm(WatchClock clock, Send send);

    void SetSettings(WatchSettings settings) { settings_ = std::move(settings); }

    void Connected();
    void Disconnected();
    void OrderEvent();
    // The FIX drop copy's state ("logged on", "connecting", "off") and its sentence.
    void FixState(const std::string& state, const std::string& detail);
    // Raises the silence alert when it is due.
    void Check();

  private:
    enum Kind { kSilence, kDisconnect, kFix, kKinds };
    struct Raised {
        bool on = false;
        std::string subject;  // what it said, for its clearing
        std::string at;       // when, "14:03 (Europe/Berlin)"
    };

    // Whether a disconnect of now is one to tell: in trading hours, not in their last minutes.
    bool DisconnectTold(const WallTime& wall) const;
    void Raise(Kind kind, const WallTime& wall, const std::string& what, const std::string& body);
    void Clear(Kind kind, const std::string& how);
    std::string At(const WallTime& wall) const;

    WatchClock clock_;
    Send send_;
    WatchSettings settings_;
    std::array<Raised, kKinds> raised_;
    bool connected_ = false;
    int64_t quiet_since_ms_ = 0;  // the last order event or Connect
    bool fix_logged_on_ = false;
};

}  // namespace quillet
