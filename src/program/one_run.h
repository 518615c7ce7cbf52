// One Quillet per settings file and per socket: what a start does when another run is there.
// Each gives this start's exit status: 0 when the running Quillet brought its window to the
// front, 1 when it could not be reached (the reason on standard error and, on a screen
// someone looks at, in a message box).
#pragma once

#include <chrono>
#include <string>

#include "app/shell/program_files.h"
#include "platform/control/control_socket_path.h"
#include "platform/profile/instance_lock.h"

namespace quillet {

// Another run holds the lock of the settings file of `files` (attempt.held_elsewhere): it is asked
// to show its window, and this start ends without sending anything. The run that holds the lock may
// have only just taken it, from a run that was killed: until `record_wait` has passed, a
// socket that nobody listens on is taken for one not yet there, and the lock file is read again
// for where the holder listens.
int HandOverToOwner(const InstanceLockAttempt& attempt, const RunFiles& files,
                    std::chrono::milliseconds record_wait);

// Listening at `socket` failed with `error`: another Quillet there is asked to show its window.
int HandOverToSocketHolder(const ControlSocketLocation& socket, const std::string& error);

}  // namespace quillet
