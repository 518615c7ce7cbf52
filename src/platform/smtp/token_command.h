// Runs the command that prints an access token for a token login (XOAUTH2), without a shell.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "support/cancel_flag.h"

namespace quillet {

struct TokenCommandResult {
    bool ok = false;
    std::string token;  // when ok: the first line of the standard output, CR and blanks cut
    // When not ok, what went wrong for a person to read, with the command's own words (its
    // standard error's last lines) where it said any: "the token command ended with status 1:
    // no refresh token"; "... gave no token within 30 s"; "... printed no token"; "... could
    // not be started: No such file or directory"; "... printed a carriage return (CR) inside its
    // token" (or a NUL); "... printed a token of N bytes, more than a login carries (16384)".
    std::string error;
};

// Starts `argv` (argv[0] found on PATH when it holds no slash) in a process group of its own,
// with standard input from /dev/null, and reads its standard output and error. It succeeds when
// the command exits with status 0 and its first output line is a token: not empty, with no CR
// or NUL inside, of at most 16 KiB. A command still running after `limit`, or once `stop` or
// `cancel` is set (checked every 100 ms), is killed with its whole process group. Never leaves a
// child unreaped nor a descriptor open, never throws; blocks for at most `limit` plus the time to
// reap: for the mail thread only.
TokenCommandResult RunTokenCommand(const std::vector<std::string>& argv,
                                   std::chrono::milliseconds limit,
                                   const std::atomic<bool>* stop = nullptr,
                                   const CancelFlag& cancel = {});

}  // namespace quillet
