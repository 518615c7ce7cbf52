// The files the account search reads: listing a folder and reading a file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillet {

struct FolderEntry {
    std::string name;
    bool is_folder = false;  // otherwise an ordinary file
};

class FileListing {
  public:
    virtual ~FileListing() = default;

    // The ordinary files and folders in `folder` (symbolic links followed), without hidden
    // ones (names beginning with "."), sorted by name ignoring case. Empty when the folder is
    // missing or cannot be read; entries that cannot be examined are left out.
    virtual std::vector<FolderEntry> ListFolder(const std::string& folder) const = 0;

    // The whole content of the ordinary file at `path`. Empty when it cannot be opened or read,
    // is not an ordinary file, or holds more than `max_bytes` bytes.
    virtual std::optional<std::string> ReadFile(const std::string& path,
                                                size_t max_bytes) const = 0;
};

}  // namespace quillet
