// A second start of the program on a socket that another program holds: the running Quillet is
// asked to bring its window to the front, and the new one ends.
#pragma once

#include <chrono>
#include <string>

#include "platform/control/control_socket_path.h"

namespace quillet {

struct SecondStart {
    bool shown = false;   // a running Quillet answered {"ok":true} to {"event":"Show"}
    std::string message;  // for standard error
    bool nobody_listens = false;  // nothing could be reached there (the message is start_error)
};

// Called when listening at `location` failed with `start_error`. When a program listens there
// (in a private folder only when that folder is the user's alone), sends it {"event":"Show"}
// and waits at most `limit` for the reply line. Not shown, the message is `start_error` when
// nobody listens; says that Quillet runs there but refused, with its error, when the answer is
// an error reply ({"ok":false,"error":...}, such as "too many connections (64)"); and
// otherwise says that a program that is not Quillet holds the socket (it answered something
// else, closed the connection or did not answer in time).
SecondStart AskRunningQuilletToShow(const ControlSocketLocation& location,
                                    const std::string& start_error,
                                    std::chrono::milliseconds limit);

}  // namespace quillet
