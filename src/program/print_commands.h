// The commands that print or store something and end, with no window: --http-token,
// --keep-history and --history. Each gives the program's exit status: 0 when done, 1 when it
// could not be (the reason on standard error).
#pragma once

#include <string>

#include "platform/qt/command_line.h"

namespace quillet {

// --http-token: prints the HTTP endpoint's token, made first when there is none.
int PrintHttpToken(const std::string& settings_option);

// --keep-history DAYS: stores how long the journal keeps its rows, from the next start on.
int KeepHistory(const std::string& settings_option, int days);

// --history: prints the journal's events, oldest first, within --since and --until, as CSV with
// --csv. Makes the core application Qt SQL's driver needs, from `argc` and `argv`.
int PrintHistory(int argc, char* argv[], const CommandLine& command);

}  // namespace quillet
