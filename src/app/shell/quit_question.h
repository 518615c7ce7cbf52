// What quitting would leave undone, asked before the program ends at the user's request.
#pragma once

#include <optional>
#include <string>

namespace quillet {

// The question to put before quitting: `waiting` order mails still in the outbox for another
// try, and whether the platform is `connected` (its order events then go unmailed once the
// program has ended). Nothing to ask when no mail waits and the platform is not connected.
std::optional<std::string> QuitQuestion(int waiting, bool connected);

}  // namespace quillet
