// The private folder that holds the control socket when no variable names its place.
#pragma once

#include <string>

namespace quillet {

// Makes sure `folder` is a folder of the current user's alone: creates it with mode 0700 when
// it does not exist, otherwise checks it without changing it. Returns "" when the folder is
// fit, otherwise why not: it cannot be created or examined, it is not a folder (a symbolic
// link is refused, never followed), it belongs to another user, or its mode is not exactly
// 0700. The parent folder must exist.
std::string PreparePrivateSocketFolder(const std::string& folder);

}  // namespace quillet
