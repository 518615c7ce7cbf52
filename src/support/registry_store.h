// Where the registry's keys and values come from: a read-only store that the registry access
// asks for one value or one subkey name at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// One value as the store holds it: its type code and its data. Text values (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ) hold UTF-16 code units, low byte first, normally with a
// terminating zero unit.
struct RegistryData {
    uint32_t type = 0;
    std::string bytes;
};

class RegistryStore {
  public:
    virtual ~RegistryStore() = default;

    // The value named `value_name` (empty: the key's default value) of the key at `key_path`
    // under `root`. Names are UTF-8; the key path has "\" between levels; letter case is
    // ignored in names and paths. Empty when the store does not hold `root`, the key or the
    // value is missing, or the store cannot be read. Reflects the store as it is at the call.
    virtual std::optional<RegistryData> QueryValue(uint32_t root, std::string_view key_path,
                                                   std::string_view value_name) = 0;

    // The name (UTF-8) of the subkey at `index` (0-based) of the key at `key_path`, the
    // subkeys taken in name order ignoring letter case. Empty when `index` is past the last
    // subkey, the key is missing, or the store cannot be read. Reflects the store as it is at
    // the call.
    virtual std::optional<std::string> EnumKey(uint32_t root, std::string_view key_path,
                                               uint32_t index) = 0;
};

}  // namespace quillet
