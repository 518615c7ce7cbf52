// What the environment may tune for a run, read once at start: the retry schedule and how long
// an SMTP connection is kept. A value that is not usable is said on standard error, and the
// usual one holds.
#pragma once

#include <chrono>

#include "app/retry_schedule.h"

namespace quillet {

// $QUILLET_RETRY_SCHEDULE when it is a schedule (see ParseRetrySchedule), else the usual one.
RetrySchedule RetryScheduleFromEnvironment();

// $QUILLET_SMTP_KEEP_SECONDS when it is a whole number from 0 (close after every mail) to 60,
// else a minute.
std::chrono::seconds SmtpKeepFromEnvironment();

}  // namespace quillet
