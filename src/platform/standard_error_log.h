// The program's log: standard error, each line after the program's name ("quillet: ...").
#pragma once

#include <string_view>

namespace quillet {

// Writes "quillet: <line>" and a line end to standard error, flushed; for a LogSink.
void SayOnStandardError(std::string_view line);

}  // namespace quillet
