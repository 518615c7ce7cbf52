// A message to the user outside the program's windows: the desktop's notifications.
#pragma once

#include <string>

namespace quillet {

class Notifier {
  public:
    virtual ~Notifier() = default;
    // Shows `summary` and `body`, or does nothing when the desktop cannot; never blocks for long.
    virtual void Notify(const std::string& summary, const std::string& body) = 0;
};

}  // namespace quillet
