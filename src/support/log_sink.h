// Where the core says what the person running the program may need to know, a line at a time,
// without a line end ("mail not sent: the server port is not a number from 1 to 65535"). The
// program writes each line to standard error after its name; tests may record them, or give
// none, and nothing is said. Called on the user-interface thread only.
#pragma once

#include <functional>
#include <string_view>

namespace quillet {

using LogSink = std::function<void(std::string_view line)>;

// Says `line` to `log`, when there is one.
inline void Say(const LogSink& log, std::string_view line) {
    if (log) {
        log(line);
    }
}

}  // namespace quillet
