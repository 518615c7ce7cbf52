// What the environment may tune for a run, read once at start: the retry schedule and how long
// an SMTP connection is kept. A value that is not usable is said on standard error, and the
// usual one holds.
#pragma once

#include <chrono>

#include "app/outbox/retry_schedule.h"

namespace quillet {

// $QUILLET_RETRY_SCHEDULE when it is a schedule (see ParseRetrySchedule), else the usual one.
RetrySchedule RetryScheduleFromEnvironment();

// $QUILLET_SMTP_KEEP_SECONDS when it is a whole number from 0 (close after every mail) to 60,
// else a minute.
std::chrono::seconds SmtpKeepFromEnvironment();

// $QUILLET_FIX_HANDLING_WAIT_MS when it is a whole number from 0 to 5000: how long the FIX
// engine waits for a report to be handled before it reads on; else 5 s. For tests of what
// comes while a report is still being handled.
std::chrono::milliseconds FixHandlingWaitFromEnvironment();

}  // namespace quillet
