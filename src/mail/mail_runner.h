// Where mail work runs: off the user-interface thread, one job at a time, in the order given.
#pragma once

#include <functional>

#include "mail/send_plain_text_mail.h"

namespace quillet {

class MailRunner {
  public:
    virtual ~MailRunner() = default;
    // Runs `job` on the mail thread after every job submitted before it, then `done` with its
    // outcome on the user-interface thread. `job` must not touch what that thread changes.
    virtual void Submit(std::function<SendResult()> job, std::function<void(SendResult)> done) = 0;
};

}  // namespace quillet
