#include "platform/profile/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "platform/unique_fd.h"
#include "support/fold_case.h"
#include "support/trim.h"

namespace quillet {
namespace {

constexpr size_t kMaxValue = 511;
// Far above any settings file the program writes, well below what would wear it down.
constexpr size_t kMaxFileBytes = size_t{64} << 20;

// The line without its line end.
std::string_view Content(const std::string& line) {
    std::string_view content = line;
    if (!content.empty() && content.back() == '\n') {
        content.remove_suffix(1);
    }
    if (!content.empty() && content.back() == '\r') {
        content.remove_suffix(1);
    }
    return content;
}

// The section name of a header line "[name]", or nothing for other lines.
std::optional<std::string_view> SectionName(std::string_view content) {
    content = TrimBlanks(content);
    if (content.empty() || content.front() != '[') {
        return std::nullopt;
    }
    content.remove_prefix(1);
    return TrimBlanks(content.substr(0, content.find(']')));
}

// Gives a last line that lacks its line end one. A line that ends in a lone CR (a CRLF cut
// short) gets only the LF, so that the CR does not become part of its name or value.
void EndLine(std::string& line) {
    if (!line.empty() && line.back() == '\n') {
        return;
    }
    line += !line.empty() && line.back() == '\r' ? "\n" : "\r\n";
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

Result<> IniFile::Load() {
    lines_.clear();
    dirty_ = false;
    indexed_ = false;
    auto read = ReadRegularFile(path_, kMaxFileBytes);
    if (auto* refusal = std::get_if<FileRefusal>(&read)) {
        if (refusal->missing) {
            return {};
        }
        return Fail(std::move(refusal->message));
    }
    const std::string& text = std::get<std::string>(read);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t stop = end == std::string::npos ? text.size() : end + 1;
        lines_.push_back(text.substr(start, stop - start));
        start = stop;
    }
    return {};
}

void IniFile::BuildIndex() const {
    index_.clear();
    duplicate_keys_ = false;
    last_indexed_line_ = 0;
    SectionPlace* current = nullptr;
    bool in_first_section = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const std::string_view content = Content(lines_[i]);
        if (const auto name = SectionName(content)) {
            const auto [place, added] = index_.try_emplace(FoldCase(*name));
            current = &place->second;
            in_first_section = added;
            if (added) {
                current->insert_after = i;
            }
            last_indexed_line_ = i;
            continue;
        }
        const auto equals = content.find('=');
        if (current == nullptr || equals == std::string_view::npos) {
            continue;
        }
        // New keys go after the last entry of the first section of that name.
        if (in_first_section) {
            current->insert_after = i;
        }
        if (!current->first_entry.try_emplace(FoldCase(TrimBlanks(content.substr(0, equals))), i)
                 .second) {
            duplicate_keys_ = true;
        }
        last_indexed_line_ = i;
    }
    indexed_ = true;
}

IniFile::Found IniFile::Find(std::string_view section, std::string_view key) const {
    if (!indexed_) {
        BuildIndex();
    }
    Found found;
    const auto place = index_.find(FoldCase(section));
    if (place == index_.end()) {
        return found;
    }
    found.insert_after = place->second.insert_after;
    const auto line = place->second.first_entry.find(FoldCase(key));
    if (line != place->second.first_entry.end()) {
        const std::string_view content = Content(lines_[line->second]);
        const auto equals = content.find('=');
        found.entry = Entry{line->second, std::string(TrimBlanks(content.substr(0, equals))),
                            std::string(TrimBlanks(content.substr(equals + 1)))};
    }
    return found;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view fallback) const {
    const Found found = Find(section, key);
    std::string value = found.entry ? found.entry->value : std::string(fallback);
    if (found.entry && value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    if (value.size() > kMaxValue) {
        value.resize(kMaxValue);
    }
    return value;
}

void IniFile::SetString(std::string_view section, std::string_view key,
                        std::optional<std::string_view> value) {
    const Found found = Find(section, key);
    if (found.entry) {
        if (!value) {
            Remove(section, key, found);
        } else {
            if (found.entry->key == key && found.entry->value == *value) {
                return;
            }
            lines_[found.entry->line] = std::string(key) + "=" + std::string(*value) + "\r\n";
        }
        dirty_ = true;
        return;
    }
    if (!value) {
        return;
    }
    const std::string entry = std::string(key) + "=" + std::string(*value) + "\r\n";
    if (found.insert_after == std::string::npos) {
        if (!lines_.empty()) {
            EndLine(lines_.back());
        }
        lines_.push_back("[" + std::string(section) + "]\r\n");
        lines_.push_back(entry);
        indexed_ = false;
    } else {
        EndLine(lines_[found.insert_after]);
        const size_t line = found.insert_after + 1;
        lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(line), entry);
        // No indexed line moved: the index takes the new entry as it stands.
        if (line > last_indexed_line_) {
            SectionPlace& place = index_[FoldCase(section)];
            place.insert_after = line;
            place.first_entry.try_emplace(FoldCase(key), line);
            last_indexed_line_ = line;
        } else {
            indexed_ = false;
        }
    }
    dirty_ = true;
}

// The entry's line is emptied rather than taken out, so that no other line moves and the
// index stays true without it; a line that is no entry is never written back as one.
void IniFile::Remove(std::string_view section, std::string_view key, const Found& found) {
    const size_t line = found.entry->line;
    lines_[line].clear();
    while (!lines_.empty() && lines_.back().empty()) {
        lines_.pop_back();
    }
    // Another entry of the key, or the section's new keys going after this line, need the
    // index made again.
    if (duplicate_keys_ || found.insert_after == line) {
        indexed_ = false;
    } else {
        index_[FoldCase(section)].first_entry.erase(FoldCase(key));
    }
}

Result<> IniFile::Save() {
    if (!dirty_) {
        return {};
    }
    std::string text;
    for (const auto& line : lines_) {
        text += line;
    }
    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat existing {};
    if (::stat(path_.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    }
    if (auto error = WriteFileAtomically(path_, text, mode)) {
        return Fail(std::move(*error));
    }
    dirty_ = false;
    return {};
}

}  // namespace quillet
