// Notifications through the desktop's notification service (org.freedesktop.Notifications on
// the session bus), each with the installed icon and desktop entry, its urgency, and a default
// action: a click on the notice tells `Opened` which order it was about. Without a session bus,
// or without the service, nothing shows: the first time, one line on standard error says so.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/notifier.h"

class OrgFreedesktopNotificationsInterface;

namespace quillet {

class DesktopNotifier final : public Notifier {
  public:
    struct Options {
        std::string app_icon;       // the installed icon's name, such as "example.quillet.Quillet"
        std::string desktop_entry;  // the installed desktop entry's name, without ".desktop"
    };
    // Told on this thread when the user clicks a notice shown since: with its order id, or
    // empty when it was about no order in particular.
    using Opened = std::function<void(const std::string& order_id)>;

    // Uses the session bus of this thread's program, when there is one.
    explicit DesktopNotifier(Options options = {});
    ~DesktopNotifier() override;
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    // Nothing is told before it is set.
    void SetOpened(Opened opened) { opened_ = std::move(opened); }

    // Never waits for the service's answer. The body is escaped for a service that reads
    // markup in it (and for one that has not said yet whether it does).
    void Notify(const Notice& notice) override;

  private:
    void SayUnavailable(const std::string& why);

    Options options_;
    Opened opened_;
    std::unique_ptr<OrgFreedesktopNotificationsInterface> service_;
    std::map<uint32_t, std::string> shown_;  // the notices on screen, by id: their orders
    bool body_markup_ = true;                // until the service says otherwise
    bool said_unavailable_ = false;
};

}  // namespace quillet
