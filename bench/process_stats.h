// What the kernel counts for a running process: its CPU time and its resident memory.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace quillet::bench {

// User plus system CPU time so far, in milliseconds (clock-tick resolution); nothing when the
// process is gone.
std::optional<double> CpuMilliseconds(pid_t pid);

// A size from /proc/PID/status ("VmRSS", "RssAnon", ...), in bytes; nothing when the process
// is gone or has no such line.
std::optional<long long> StatusBytes(pid_t pid, const std::string& field);

}  // namespace quillet::bench
