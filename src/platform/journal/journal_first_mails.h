// The first mail of each order in the journal, which the order's later mails follow.
#pragma once

#include <map>
#include <string>

#include "support/result.h"

namespace quillet {

// Order id -> the Message-ID of the order's first mail (the oldest event of the order that has
// one), for every order of the journal at `path`. Opens a read-only Qt SQL connection of its
// own, used on the calling thread only: call it off the window's thread, since a file another
// program keeps busy may hold it for up to five seconds. A journal that cannot be opened or read
// (no regular file, a symbolic link, not a journal) gives the reason; a missing one gives no
// orders.
Result<std::map<std::string, std::string>> ReadFirstMails(const std::string& path);

}  // namespace quillet
