// A ProfileFile held in memory, for the forms' tests: keys found ignoring letter case, and a
// load or save that fails when told to.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/profile_file.h"
#include "support/base64.h"
#include "support/fold_case.h"

namespace quillet::test {

class MemoryProfile : public ProfileFile {
  public:
    Result<> Load() override {
        staged = saved;
        return load_error ? Result<>(Fail(*load_error)) : Result<>();
    }
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view fallback) const override {
        const auto found = staged.find(Key(section, key));
        return found == staged.end() ? std::string(fallback) : found->second;
    }
    void SetString(std::string_view section, std::string_view key,
                   std::optional<std::string_view> value) override {
        if (value) {
            staged[Key(section, key)] = std::string(*value);
        } else {
            staged.erase(Key(section, key));
        }
    }
    Result<> Save() override {
        if (!save_error) {
            saved = staged;
        }
        return save_error ? Result<>(Fail(*save_error)) : Result<>();
    }

    // Stores `settings` ({key, value} in plain text) as the settings file holds them.
    void Store(const std::vector<std::pair<std::string, std::string>>& settings) {
        for (const auto& [key, value] : settings) {
            saved[Key("Quillet", Base64EncodeForINI(key))] = Base64EncodeForINI(value);
        }
    }
    static std::string Key(std::string_view section, std::string_view key) {
        return FoldCase(section) + "]" + FoldCase(key);
    }

    std::map<std::string, std::string> saved;   // what the "disk" holds
    std::map<std::string, std::string> staged;  // edits since Load
    std::optional<std::string> load_error;
    std::optional<std::string> save_error;
};

}  // namespace quillet::test
