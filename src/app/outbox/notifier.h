// A message to the user outside the program's windows: the desktop's notifications.
#pragma once

#include <string>

namespace quillet {

enum class NoticeUrgency {
    Normal,
    Critical,  // a mail that only the user can get out now: marked failed, or lost
};

struct Notice {
    std::string summary;
    std::string body;  // whole sentences
    NoticeUrgency urgency = NoticeUrgency::Normal;
    // The order the notice is about, which the user may open from it; empty when it is about
    // none in particular.
    std::string order_id = {};
    // Not empty: the notice takes the place of the one shown under the same key, if that one
    // is still on the desktop; empty: a notice of its own.
    std::string key = {};
};

class Notifier {
  public:
    virtual ~Notifier() = default;
    // Shows `notice`, or does nothing when the desktop cannot; never blocks for long.
    virtual void Notify(const Notice& notice) = 0;
    // Takes the notice shown under `key` off the desktop; nothing when there is none.
    virtual void Withdraw(const std::string& key) = 0;
    // Whether the desktop has a notification service that has answered; until it has, and
    // without one, false.
    virtual bool Available() const = 0;
};

}  // namespace quillet
