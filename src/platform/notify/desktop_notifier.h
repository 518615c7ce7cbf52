// Notifications through the desktop's notification service (org.freedesktop.Notifications on
// the session bus). Without a session bus, or without the service, nothing shows: the first
// time, one line on standard error says so.
#pragma once

#include "app/notifier.h"

namespace quillet {

class DesktopNotifier final : public Notifier {
  public:
    // Never waits for the service's answer.
    void Notify(const std::string& summary, const std::string& body) override;

  private:
    bool said_unavailable_ = false;
};

}  // namespace quillet
