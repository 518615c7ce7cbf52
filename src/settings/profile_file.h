// A file of sections and "key=value" lines, read and edited the way the settings file needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "support/result.h"

namespace quillet {

class ProfileFile {
  public:
    virtual ~ProfileFile() = default;

    // Reads the file afresh from disk, dropping unsaved edits. A missing file is empty and no
    // error; any other failure gives the reason, and the contents are then empty.
    virtual Result<> Load() = 0;

    // The value of the first `key` in a section named `section` (both ignoring letter case),
    // blanks around it removed and one pair of matching quotes taken off, cut to its first 511
    // characters; `fallback` when the section or key is missing.
    virtual std::string GetString(std::string_view section, std::string_view key,
                                  std::string_view fallback) const = 0;

    // Sets `key` of `section` to `value`, adding the section and the key when they are
    // missing; with no value, removes the key's line. Other lines stay as they are. Keys and
    // values hold no line breaks. Takes effect on disk at Save().
    virtual void SetString(std::string_view section, std::string_view key,
                           std::optional<std::string_view> value) = 0;

    // Writes the edits since Load(), replacing the file at once (a reader sees the old file or
    // the new one, never a part), or does nothing when there were none. Gives the reason when
    // the file could not be written; the file is then as it was.
    virtual Result<> Save() = 0;
};

}  // namespace quillet
