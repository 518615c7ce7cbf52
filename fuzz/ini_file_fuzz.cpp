// Arbitrary text as the settings file: it is loaded, read, edited, saved and loaded again.
// Every entry set reads back as it was set, and the entries no edit names read as before.
//
// The input is the file's text up to its last NUL byte, then the edits, one a line:
// "section|key|value" sets a key, "section|key" removes it (the first of that name). With no
// NUL byte the whole input is the file and there are no edits. An edit the settings code never
// makes is passed over (see IsStorable): a name or value with a line break or with blanks at
// either end, a key with "=" or one that would read as a section header, a section name with
// "]", a value longer than the reader gives back or one in matching quotes, which the reader
// takes off.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "platform/profile/ini_file.h"
#include "support/fold_case.h"
#include "support/trim.h"

namespace {

using quillet::IniFile;
using quillet::fuzz::Check;
using quillet::fuzz::Lowered;

constexpr size_t kMaxEdits = 16;
constexpr size_t kMaxProbes = 16;
constexpr size_t kMaxReadBack = 511;
constexpr std::string_view kMissing = "\x01missing";
constexpr size_t npos = std::string_view::npos;

// A folder of its own for one input's file (tmpfs when there is one: Save() syncs the file and
// its folder every run); the caller removes it.
std::string MakeScratchFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string base = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
    if (tmpdir == nullptr && ::access("/dev/shm", W_OK) == 0) {
        base = "/dev/shm";
    }
    std::string pattern = base + "/quillet-ini-fuzz.XXXXXX";
    Check(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
    return pattern;
}

struct Edit {
    std::string section;
    std::string key;
    std::optional<std::string> value;  // none: remove
};

// A section and key to read, with what it read before the edits.
struct Probe {
    std::string section;
    std::string key;
    std::string before;
};

using FoldedName = std::pair<std::string, std::string>;

FoldedName Folded(std::string_view section, std::string_view key) {
    return {quillet::FoldCase(section), quillet::FoldCase(key)};
}

// One line, no blanks at either end, none of `banned`.
bool IsPlain(std::string_view text, const char* banned = "") {
    return text.find_first_of("\r\n") == npos && quillet::TrimBlanks(text).size() == text.size() &&
           text.find_first_of(banned) == npos;
}

bool IsStorable(const Edit& edit) {
    const std::string value = edit.value.value_or("");
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return IsPlain(edit.section, "]") && IsPlain(edit.key, "=") &&
           (edit.key.empty() || edit.key.front() != '[') && IsPlain(value) &&
           value.size() <= kMaxReadBack && !quoted;
}

// The next line of `text`, taken off it.
std::string_view TakeLine(std::string_view& text) {
    const std::string_view line = text.substr(0, text.find('\n'));
    text.remove_prefix(std::min(line.size() + 1, text.size()));
    return line;
}

std::vector<Edit> ParseEdits(std::string_view text) {
    std::vector<Edit> edits;
    while (!text.empty() && edits.size() < kMaxEdits) {
        const std::string_view line = TakeLine(text);
        const size_t first = line.find('|');
        const size_t second = line.find('|', first + 1);
        if (first != npos) {
            edits.push_back({std::string(line.substr(0, first)),
                             std::string(line.substr(first + 1, second - first - 1)),
                             second == npos ? std::nullopt
                                            : std::optional<std::string>(line.substr(second + 1))});
        }
    }
    return edits;
}

// Sections and keys that the file seems to hold, roughly as the reader sees them; which entry a
// probe reads does not matter, only that no edit of another entry changes it.
std::vector<Probe> FindProbes(std::string_view text) {
    std::vector<Probe> probes;
    std::string_view section;
    while (!text.empty() && probes.size() < kMaxProbes) {
        const std::string_view line = quillet::TrimBlanks(TakeLine(text));
        if (line.starts_with('[')) {
            section = quillet::TrimBlanks(line.substr(1, line.find(']') - 1));
        } else if (const size_t equals = line.find('='); equals != npos) {
            probes.push_back({std::string(section),
                              std::string(quillet::TrimBlanks(line.substr(0, equals))),
                              {}});
        }
    }
    return probes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = MakeScratchFolder();
    const std::string path = folder + "/quillet.ini";

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.rfind('\0');
    const std::string_view file_text = input.substr(0, nul);
    const std::vector<Edit> edits =
        nul == npos ? std::vector<Edit>() : ParseEdits(input.substr(nul + 1));
    Check((std::ofstream(path, std::ios::binary) << file_text).flush().good(),
          "the fuzzer's file is written");
    IniFile ini(path);
    Check(ini.Load().ok(), "an existing file loads");
    std::vector<Probe> probes = FindProbes(file_text);
    for (Probe& probe : probes) {
        probe.before = ini.GetString(probe.section, probe.key, kMissing);
        Check(probe.before.size() <= kMaxReadBack, "a read is cut to 511 characters");
    }

    // What each (section, key) must read back, by their names ignoring case; a removed key is
    // not followed, since a later key of the same name may then show through.
    std::map<FoldedName, Edit> expected;
    std::set<FoldedName> edited;
    for (const Edit& edit : edits) {
        Check(ini.GetString(edit.section, edit.key, kMissing).size() <= kMaxReadBack,
              "a read is cut to 511 characters");
        if (!IsStorable(edit)) {
            continue;
        }
        ini.SetString(edit.section, edit.key, edit.value);
        const FoldedName name = Folded(edit.section, edit.key);
        edited.insert(name);
        if (edit.value) {
            expected.insert_or_assign(name, edit);
        } else {
            expected.erase(name);
        }
    }
    for (const auto& [name, edit] : expected) {
        Check(ini.GetString(edit.section, edit.key, kMissing) == *edit.value,
              "a key set reads back before saving");
    }

    Check(ini.Save().ok(), "the file saves");
    IniFile saved(path);
    Check(saved.Load().ok(), "the saved file loads");
    for (const auto& [name, edit] : expected) {
        Check(saved.GetString(edit.section, edit.key, kMissing) == *edit.value,
              "a key set reads back from the saved file");
        Check(saved.GetString(Lowered(edit.section), Lowered(edit.key), kMissing) == *edit.value,
              "a key is found ignoring case");
    }
    for (const Probe& probe : probes) {
        Check(edited.contains(Folded(probe.section, probe.key)) ||
                  saved.GetString(probe.section, probe.key, kMissing) == probe.before,
              "an entry no edit names reads as before");
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
