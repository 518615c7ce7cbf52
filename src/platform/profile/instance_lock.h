// One Quillet per settings file. The run that holds the lock beside the settings file owns that
// file and the outbox next to it; another start on the same file, whatever its socket, must not
// send. The kernel lets go of the lock when the holder ends, killed or not.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "platform/unique_fd.h"

namespace quillet {

class InstanceLock {
  public:
    explicit InstanceLock(UniqueFd fd) : fd_(std::move(fd)) {}

    // Writes where this run listens into the lock file, for a later start to reach it. Gives
    // the reason when the file cannot be written.
    std::optional<std::string> RecordSocket(const std::string& socket_path);

  private:
    UniqueFd fd_;  // holds the lock for as long as it is open
};

struct InstanceLockAttempt {
    std::optional<InstanceLock> lock;  // set when this run owns the settings file
    bool held_elsewhere = false;       // another run holds the lock
    std::string holder_socket;         // where that run listens, '' when it has not said
    std::string error;                 // why there is no lock (either case)
};

// Takes the lock file at `lock_path` (RunFiles::lock) without waiting for it; it is made, mode
// 0600, when missing. When another run holds it, waits at most `record_wait` for that run to record
// its socket (it does so right after it listens); a run that takes the lock clears what a
// killed owner recorded, so that no one is sent to a socket that is gone. No lock and not held
// elsewhere: the file cannot be opened or locked (for example a read-only folder), or it is not
// a regular file (a symbolic link, a FIFO, a folder), which is refused, with the reason.
InstanceLockAttempt TakeInstanceLock(const std::string& lock_path,
                                     std::chrono::milliseconds record_wait);

// Where the run that holds the lock file at `lock_path` says it listens now: '' when it has not
// said yet (a run that has just taken the lock clears the record of the run before it), or the
// lock file cannot be read.
std::string RecordedHolderSocket(const std::string& lock_path);

}  // namespace quillet
