// Arbitrary text as a Wine user.reg: it is parsed, and its keys are walked the way the account
// search walks them, reading values and subkey names through the ANSI registry functions.
// Subkey names come in strict name order ignoring case, and none is empty or holds a "\";
// keys and values are found whatever the letter case of their names. A parse that keeps one
// subtree (the first key found below the root's first subkey) holds in it exactly what the
// whole parse holds, and nothing beside it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/registry/wine_registry.h"
#include "platform/registry/wine_registry_lines.h"
#include "support/fold_case.h"
#include "support/registry_access.h"
#include "support/registry_store.h"
#include "support/registry_value.h"

namespace {

using quillet::RegistryData;
using quillet::WineRegistry;
using quillet::fuzz::Check;
using quillet::fuzz::Lowered;

constexpr size_t kMaxKeys = 256;
constexpr size_t kMaxValueNames = 8;

// A parsed registry as the store the registry access reads.
struct ParsedStore final : quillet::RegistryStore {
    explicit ParsedStore(const WineRegistry& parsed) : registry(parsed) {}
    std::optional<RegistryData> QueryValue(uint32_t root, std::string_view key_path,
                                           std::string_view value_name) override {
        const RegistryData* data = registry.FindValue(key_path, value_name);
        return root == quillet::HKEY_CURRENT_USER && data ? std::optional(*data) : std::nullopt;
    }
    std::optional<std::string> EnumKey(uint32_t root, std::string_view key_path,
                                       uint32_t index) override {
        const std::string* name = registry.SubkeyName(key_path, index);
        return root == quillet::HKEY_CURRENT_USER && name ? std::optional(*name) : std::nullopt;
    }
    const WineRegistry& registry;
};

// The value names to ask every key for: the default value, and the first few quoted names at
// the start of a line as they stand (escapes not decoded).
std::vector<std::string> ValueNames(std::string_view text) {
    std::vector<std::string> names{""};
    quillet::WineRegistryLines lines(text);
    std::string_view line;
    while (names.size() < kMaxValueNames && lines.Next(line)) {
        const size_t start = quillet::SkipSpaces(line, 0);
        if (start < line.size() && line[start] == '"') {
            const size_t end = line.find('"', start + 1);
            names.emplace_back(line.substr(start + 1, end - start - 1));
        }
    }
    return names;
}

bool SameData(const RegistryData* a, const RegistryData* b) {
    return a == nullptr ? b == nullptr : b != nullptr && a->type == b->type && a->bytes == b->bytes;
}

bool SameName(const std::string* a, const std::string* b) {
    return a == nullptr ? b == nullptr : b != nullptr && *a == *b;
}

// Whether `path` is `root` or below it, ignoring case; every path is below the root's "".
bool Below(const std::string& path, const std::string& root) {
    const std::string folded = quillet::FoldCase(path), folded_root = quillet::FoldCase(root);
    return folded.starts_with(folded_root) &&
           (root.empty() || folded.size() == root.size() || folded[root.size()] == '\\');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const WineRegistry registry = WineRegistry::Parse(text);
    ParsedStore store(registry);
    const std::vector<std::string> value_names = ValueNames(text);

    std::vector<std::string> paths{""};
    for (size_t next = 0; next < paths.size() && next < kMaxKeys; ++next) {
        const std::string path = paths[next];
        const std::string lowered_path = Lowered(path);
        Check(registry.SubkeyName(lowered_path, 0) == registry.SubkeyName(path, 0),
              "a key is found ignoring case");
        for (const std::string& name : value_names) {
            Check(registry.FindValue(lowered_path, Lowered(name)) == registry.FindValue(path, name),
                  "a value is found ignoring case");
            quillet::RegValueText(
                quillet::RegReadValue(store, quillet::HKEY_CURRENT_USER, path, name));
        }
        std::string previous;
        for (size_t index = 0; const std::string* name = registry.SubkeyName(path, index);
             ++index) {
            Check(!name->empty() && name->find('\\') == std::string::npos,
                  "a subkey name is one level");
            const std::string folded = quillet::FoldCase(*name);
            Check(index == 0 || previous < folded, "subkeys come in strict name order");
            previous = folded;
            quillet::RegEnumSubkey(store, quillet::HKEY_CURRENT_USER, path,
                                   static_cast<int32_t>(index));
            if (paths.size() < kMaxKeys) {
                paths.push_back(path.empty() ? *name : path + "\\" + *name);
            }
        }
    }
    // The walk has found the keys level by level: the first key two levels down, if any.
    const auto kept_root = std::find_if(paths.begin(), paths.end(), [](const std::string& path) {
        return path.find('\\') != std::string::npos;
    });
    if (kept_root == paths.end()) {
        return 0;
    }
    const WineRegistry kept = WineRegistry::Parse(text, {*kept_root});
    for (const std::string& path : paths) {
        if (!Below(path, *kept_root)) {
            Check(Below(*kept_root, path) || kept.SubkeyName(path, 0) == nullptr,
                  "a key beside the kept subtree is not held");
            continue;
        }
        for (size_t index = 0; index < 4; ++index) {
            Check(SameName(kept.SubkeyName(path, index), registry.SubkeyName(path, index)),
                  "the kept subtree has the same subkeys");
        }
        for (const std::string& name : value_names) {
            Check(SameData(kept.FindValue(path, name), registry.FindValue(path, name)),
                  "the kept subtree has the same values");
        }
    }
    return 0;
}
