// The settings file on disk: a ProfileFile with the rules of the Windows profile functions.
//
// Reading: section and key names ignore letter case, blanks around them and around the value
// are dropped, and the first match wins. Lines before the first section are not entries.
// Editing keeps every other line byte for byte; a changed or new line ends in CRLF; a new key
// goes after the last entry of its section, a new section at the end of the file. Saving
// writes a temporary file beside it, flushes it to disk and renames it over the old one; a
// new file gets mode 0600, an existing one keeps its mode.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "settings/profile_file.h"

namespace quillet {

class IniFile final : public ProfileFile {
  public:
    explicit IniFile(std::string path);

    Result<> Load() override;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view fallback) const override;
    void SetString(std::string_view section, std::string_view key,
                   std::optional<std::string_view> value) override;
    Result<> Save() override;

    const std::string& path() const { return path_; }

  private:
    struct Entry {
        size_t line = 0;  // index into lines_
        std::string key;
        std::string value;
    };
    // The first entry of `key` in a section named `section`, and the line after which a new
    // entry of that section goes (npos when the section is missing).
    struct Found {
        std::optional<Entry> entry;
        size_t insert_after = std::string::npos;
    };
    Found Find(std::string_view section, std::string_view key) const;
    // Where each section and key is, made in one pass over the lines when a lookup needs it,
    // kept as entries are added after the last one or taken out, and dropped when other lines
    // move; so that reading or writing every key costs one pass in all.
    struct SectionPlace {
        size_t insert_after = 0;
        std::unordered_map<std::string, size_t> first_entry;  // folded key -> line
    };
    void BuildIndex() const;
    // Takes out the entry `found` of `key`.
    void Remove(std::string_view section, std::string_view key, const Found& found);

    std::string path_;
    std::vector<std::string> lines_;  // each with its own line end, the last maybe without
    bool dirty_ = false;
    mutable bool indexed_ = false;
    mutable std::unordered_map<std::string, SectionPlace> index_;  // by folded section name
    mutable bool duplicate_keys_ = false;                          // a key given twice in a section
    mutable size_t last_indexed_line_ = 0;                         // the last header or entry
};

}  // namespace quillet
