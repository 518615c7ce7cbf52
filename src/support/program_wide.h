// The program-wide state, all of it in one place. Only the user-interface thread touches it.
#pragma once

#include <string>

namespace quillet {

struct ProgramWide {
    // The subject and body of the next message, set by whoever asks EmailReport to mail.
    std::string EmailSubject;
    std::string EmailBody;
};

// The one instance, empty at start.
ProgramWide& Program();

}  // namespace quillet
