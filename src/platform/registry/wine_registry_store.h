// The current user's registry of a Wine prefix: HKEY_CURRENT_USER read from its user.reg.
//
// Every call looks at the file as it is then. The parsed file is kept and used again while the
// file's identity, size and modification time stay the same; any change to the file, a file
// put in its place included, is parsed afresh at the next call. The file is read in blocks and
// never held whole; a store that keeps only some subtrees holds no more than those.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/wine_registry.h"
#include "support/registry_store.h"

namespace quillet {

class WineRegistryStore final : public RegistryStore {
  public:
    // `user_reg_path`: the prefix's user.reg (see WineUserRegistryPath). With `kept_subtrees`
    // (key paths under HKEY_CURRENT_USER) only those keys and the keys below them are held;
    // every other key is missing (see WineRegistry::Parse).
    explicit WineRegistryStore(std::string user_reg_path,
                               std::vector<std::string> kept_subtrees = {});

    // Only HKEY_CURRENT_USER is held. A missing or unreadable file, or one that does not begin
    // with Wine's header line, holds no keys; every lookup then gives nothing.
    std::optional<RegistryData> QueryValue(uint32_t root, std::string_view key_path,
                                           std::string_view value_name) override;
    std::optional<std::string> EnumKey(uint32_t root, std::string_view key_path,
                                       uint32_t index) override;

  private:
    struct FileIdentity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        int64_t modified_seconds = 0;
        int64_t modified_nanoseconds = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    static FileIdentity IdentityOf(const struct stat& status);

    // The registry as the file now holds it.
    const WineRegistry& Current();

    std::string path_;
    std::vector<std::string> kept_subtrees_;
    std::optional<FileIdentity> parsed_identity_;  // of the file that registry_ was parsed from
    WineRegistry registry_;
};

}  // namespace quillet
