// Where a Linux desktop keeps the settings that the account search reads.
#pragma once

#include <string>
#include <string_view>

#include "accounts/wine_folders.h"

namespace quillet {

// `folder` and `name` joined by one "/" (none added when `folder` is empty or ends in "/").
std::string JoinPath(std::string_view folder, std::string_view name);

// `path` without empty and "." parts: "/a//b/./c/" gives "/a/b/c". ".." is kept, since a
// symbolic link may stand before it.
std::string NormalPath(std::string_view path);

// The user's configuration folder: `xdg_config_home` when it is an absolute path (a relative
// one is ignored, as the desktop's base-directory rules say), else `home`/.config; empty when
// neither is known.
std::string ConfigHomeFolder(const AccountEnvironment& environment);

}  // namespace quillet
