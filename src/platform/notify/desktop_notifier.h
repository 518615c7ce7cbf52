// Notifications through the desktop's notification service (org.freedesktop.Notifications on
// the session bus), each with the installed icon and desktop entry, its urgency, and a default
// action: a click on the notice tells `Opened` which order it was about. Without a session bus,
// or without the service, nothing shows: the first time, one line on standard error says so.
//
// On Wayland a program may raise its window only with a token that the compositor gave for the
// user's action. A service that sends one with the click (ActivationToken, before ActionInvoked)
// has it put in XDG_ACTIVATION_TOKEN while `Opened` runs, where Qt's Wayland plugin looks for a
// token when a window is raised or shown; it is gone from the environment afterwards.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/outbox/notifier.h"

class OrgFreedesktopNotificationsInterface;
class QEventLoop;

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
    // markup in it (and for one that has not said yet whether it does). A keyed notice replaces
    // the one shown under its key; one that comes while the service has not yet given the id of
    // the one before waits for it, and only the latest of those is shown.
    void Notify(const Notice& notice) override;
    // Closes the notice shown under `key`, once its id is known.
    void Withdraw(const std::string& key) override;
    // Whether the service has answered a call.
    bool Available() const override { return available_; }

    // Once the program's event loop has ended: waits until the service has answered every
    // notice sent, at most `limit`, so that the last ones (the mails lost at the end) are on the
    // desktop before the program ends. Returns at once when none is unanswered.
    void FinishAtEnd(std::chrono::milliseconds limit);

  private:
    void SayUnavailable(const std::string& why);
    // Sends `notice` in place of the notice `replaces` (0: none).
    void Send(const Notice& notice, uint32_t replaces);
    // A keyed notice's id has come (0 when it failed): what waited for it goes.
    void KeyAnswered(const std::string& key, uint32_t id);

    // The notices shown under a key.
    struct Keyed {
        uint32_t id = 0;             // the one on the desktop; 0 for none
        bool awaiting = false;       // the service has not answered the latest Notify yet
        std::optional<Notice> next;  // to be shown in its place once it has
        bool withdraw = false;       // to be closed once it has
    };

    Options options_;
    Opened opened_;
    std::unique_ptr<OrgFreedesktopNotificationsInterface> service_;
    std::map<uint32_t, std::string> shown_;  // the notices on screen, by id: their orders
    std::map<uint32_t, QString> tokens_;     // the activation tokens of clicks under way, by id
    std::map<std::string, Keyed> keyed_;     // by key
    int unanswered_ = 0;                     // notices the service has not answered yet
    QEventLoop* ending_ = nullptr;           // FinishAtEnd's wait, while it waits
    bool body_markup_ = true;                // until the service says otherwise
    bool said_unavailable_ = false;
    bool available_ = false;  // the service has answered
};

}  // namespace quillet
