#include "platform/registry/wine_registry.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "platform/registry/wine_registry_lines.h"
#include "support/fold_case.h"
#include "support/utf16.h"

namespace quillet {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";

// Whether `name` is `folded` (a name with letter case folded) ignoring case. ASCII, the common
// case, is compared byte by byte: FoldCase changes an ASCII byte whatever its neighbours.
bool SameName(std::string_view name, std::string_view folded) {
    if (name.size() != folded.size()) {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (static_cast<uint8_t>(c) >= 0x80) {
            return FoldCase(name) == folded;
        }
        if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c) != folded[i]) {
            return false;
        }
    }
    return true;
}

// The levels of a key path, empty ones passed over.
std::vector<std::string_view> Levels(std::string_view path) {
    std::vector<std::string_view> levels;
    while (!path.empty()) {
        const size_t cut = path.find('\\');
        if (cut != 0) {
            levels.push_back(path.substr(0, cut));
        }
        path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
    }
    return levels;
}

// The subtrees a parse keeps; all keys when none are given.
class KeptSubtrees {
  public:
    explicit KeptSubtrees(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            std::vector<std::string> levels;
            for (const std::string_view level : Levels(path)) {
                levels.push_back(FoldCase(level));
            }
            roots_.push_back(std::move(levels));
        }
    }

    // Whether the key at `path` (UTF-8, as a key line gives it) is one of them or below one.
    bool Holds(std::string_view path) const {
        return roots_.empty() ||
               std::any_of(roots_.begin(), roots_.end(),
                           [path](const auto& root) { return Within(path, root); });
    }

  private:
    static bool Within(std::string_view path, const std::vector<std::string>& root) {
        size_t level = 0;
        while (!path.empty() && level < root.size()) {
            const size_t cut = path.find('\\');
            const std::string_view name = path.substr(0, cut);
            path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
            if (name.empty()) {
                continue;
            }
            if (!SameName(name, root[level++])) {
                return false;
            }
        }
        return level == root.size();
    }

    std::vector<std::vector<std::string>> roots_;  // the levels of each, letter case folded
};

}  // namespace

class WineRegistry::Builder {
  public:
    explicit Builder(WineRegistry& registry) : registry_(registry) {}

    // The key at `path` (UTF-8, levels separated by "\"), made with its parents when missing.
    uint32_t OpenKey(std::string_view path) {
        // Key lines mostly share their first levels with the line before: those are reused.
        size_t level = 0;
        uint32_t key = 0;
        while (!path.empty()) {
            const size_t cut = path.find('\\');
            const std::string_view name = path.substr(0, cut);
            path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
            if (name.empty()) {
                continue;
            }
            if (level < last_path_.size() && last_path_[level].first == name) {
                key = last_path_[level].second;
            } else {
                last_path_.resize(level);
                key = OpenChild(key, name);
                last_path_.emplace_back(std::string(name), key);
            }
            ++level;
        }
        last_path_.resize(level);
        return key;
    }

    void AddValue(uint32_t key, std::string_view name, RegistryData data) {
        registry_.keys_[key].values.push_back(Value{FoldCase(name), std::move(data)});
    }

    // Puts subkeys and values in name order and keeps the last value of each name.
    void Finish() {
        for (Key& key : registry_.keys_) {
            std::sort(key.children.begin(), key.children.end(), [this](uint32_t a, uint32_t b) {
                return registry_.keys_[a].folded_name < registry_.keys_[b].folded_name;
            });
            std::vector<Value>& values = key.values;
            std::stable_sort(values.begin(), values.end(), [](const Value& a, const Value& b) {
                return a.folded_name < b.folded_name;
            });
            std::vector<Value> kept;
            kept.reserve(values.size());
            for (size_t i = 0; i < values.size(); ++i) {
                if (i + 1 == values.size() || values[i + 1].folded_name != values[i].folded_name) {
                    kept.push_back(std::move(values[i]));
                }
            }
            values = std::move(kept);
        }
    }

  private:
    uint32_t OpenChild(uint32_t parent, std::string_view name) {
        std::string folded = FoldCase(name);
        std::string index_key(sizeof parent, '\0');
        std::memcpy(index_key.data(), &parent, sizeof parent);
        index_key += folded;
        const auto [found, added] =
            index_.try_emplace(std::move(index_key), static_cast<uint32_t>(registry_.keys_.size()));
        if (added) {
            registry_.keys_.push_back(Key{std::string(name), std::move(folded), {}, {}});
            registry_.keys_[parent].children.push_back(found->second);
        }
        return found->second;
    }

    WineRegistry& registry_;
    std::unordered_map<std::string, uint32_t> index_;          // parent's index and folded name
    std::vector<std::pair<std::string, uint32_t>> last_path_;  // the levels of the last key line
};

WineRegistry::WineRegistry() : keys_(1) {}

WineRegistry WineRegistry::Parse(std::string_view text,
                                 const std::vector<std::string>& kept_subtrees) {
    WineRegistryLines lines(text);
    return Parse(lines, kept_subtrees);
}

WineRegistry WineRegistry::Parse(WineRegistryLines& lines,
                                 const std::vector<std::string>& kept_subtrees) {
    WineRegistry registry;
    std::string_view line;
    if (!lines.Next(line) || line != kHeader) {
        return registry;
    }
    const KeptSubtrees kept(kept_subtrees);
    Builder builder(registry);
    constexpr uint32_t kNoKey = UINT32_MAX;  // the values that follow belong to no key
    uint32_t key = kNoKey;
    std::string path;
    while (lines.Next(line)) {
        const size_t pos = SkipSpaces(line, 0);
        if (pos == line.size()) {
            continue;
        }
        if (line[pos] == '[') {
            key = kNoKey;
            if (ParseWineKeyPath(line, pos + 1, path) != std::string_view::npos &&
                kept.Holds(path)) {
                key = builder.OpenKey(path);
            }
            continue;
        }
        if ((line[pos] != '@' && line[pos] != '"') || key == kNoKey) {
            continue;
        }
        std::u16string name;
        size_t at = pos + 1;
        if (line[pos] == '"') {
            at = ParseWineEscaped(line, pos + 1, '"', name);
            if (at == std::string_view::npos) {
                continue;
            }
        }
        at = SkipSpaces(line, at);
        if (at == line.size() || line[at] != '=') {
            continue;
        }
        if (auto data = ParseWineValueData(line, SkipSpaces(line, at + 1), lines)) {
            builder.AddValue(key, Utf16ToUtf8(name), std::move(*data));
        }
    }
    builder.Finish();
    return registry;
}

std::optional<uint32_t> WineRegistry::FindKey(std::string_view key_path) const {
    uint32_t key = 0;
    while (!key_path.empty()) {
        const size_t cut = key_path.find('\\');
        const std::string_view name = key_path.substr(0, cut);
        key_path = cut == std::string_view::npos ? std::string_view() : key_path.substr(cut + 1);
        if (name.empty()) {
            continue;
        }
        const std::string folded = FoldCase(name);
        const std::vector<uint32_t>& children = keys_[key].children;
        const auto it = std::lower_bound(children.begin(), children.end(), folded,
                                         [this](uint32_t child, const std::string& wanted) {
                                             return keys_[child].folded_name < wanted;
                                         });
        if (it == children.end() || keys_[*it].folded_name != folded) {
            return std::nullopt;
        }
        key = *it;
    }
    return key;
}

const RegistryData* WineRegistry::FindValue(std::string_view key_path,
                                            std::string_view value_name) const {
    const auto key = FindKey(key_path);
    if (!key) {
        return nullptr;
    }
    const std::string folded = FoldCase(value_name);
    const std::vector<Value>& values = keys_[*key].values;
    const auto it = std::lower_bound(
        values.begin(), values.end(), folded,
        [](const Value& value, const std::string& wanted) { return value.folded_name < wanted; });
    if (it == values.end() || it->folded_name != folded) {
        return nullptr;
    }
    return &it->data;
}

const std::string* WineRegistry::SubkeyName(std::string_view key_path, size_t index) const {
    const auto key = FindKey(key_path);
    if (!key || index >= keys_[*key].children.size()) {
        return nullptr;
    }
    return &keys_[keys_[*key].children[index]].name;
}

}  // namespace quillet
