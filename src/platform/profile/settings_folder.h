// The folder of an installed program's settings file.
#pragma once

#include <optional>
#include <string>

namespace quillet {

// Makes `folder` and the folders above it that are missing, each with mode 0700, so that only
// the user can read the settings. A folder that is there already stays as it is. Gives the
// reason when the folder is still missing afterwards. Nothing for an empty path (no folder to
// make).
std::optional<std::string> CreateSettingsFolder(const std::string& folder);

}  // namespace quillet
