// The account search's files on the local disk.
#pragma once

#include "accounts/file_listing.h"

namespace quillet {

class DiskFileListing final : public FileListing {
  public:
    std::vector<FolderEntry> ListFolder(const std::string& folder) const override;
    std::optional<std::string> ReadFile(const std::string& path, size_t max_bytes) const override;
};

}  // namespace quillet
