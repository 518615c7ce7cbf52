#include "platform/outbox/outbox_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>

#include "app/outbox/outbox_format.h"
#include "platform/atomic_file.h"
#include "platform/unique_fd.h"

namespace quillet {
namespace {

constexpr std::string_view kSuffix = ".mail";
constexpr off_t kMaxFileBytes = off_t{64} << 20;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The whole file, or why not.
std::optional<std::string> ReadWhole(const std::string& path, std::string& why) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode) || status.st_size > kMaxFileBytes) {
        why = "not an ordinary file of at most 64 MiB";
        return std::nullopt;
    }
    std::string content(static_cast<size_t>(status.st_size), '\0');
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::read(fd.get(), content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            why = n < 0 ? std::strerror(errno) : "the file shrank while read";
            return std::nullopt;
        }
        done += static_cast<size_t>(n);
    }
    return content;
}

}  // namespace

OutboxFolder::OutboxFolder(std::string folder, bool owned)
    : folder_(std::move(folder)), owned_(owned) {}

std::vector<OutboxEntry> OutboxFolder::LoadAll() {
    std::vector<OutboxEntry> entries;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder_.c_str()));
    if (!dir) {
        return entries;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        // A write killed before its rename leaves its temporary file, when this run owns the
        // folder; another run's write may be under way otherwise.
        if (const std::string_view target =
                name.substr(0, name.size() - std::min(name.size(), kTemporaryNameExtra));
            target.ends_with(kSuffix) && IsTemporaryName(name, target)) {
            if (owned_) {
                ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
            }
            continue;
        }
        if (name.size() > kSuffix.size() && name.ends_with(kSuffix) && name.front() != '.') {
            names.emplace_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    if (!owned_) {
        if (!names.empty()) {
            std::cerr << "quillet: the " << names.size() << " mails kept in " << folder_
                      << " are not sent by this run, which could not take its settings' lock; "
                         "they wait for a run that can\n";
        }
        return entries;
    }
    for (const std::string& name : names) {
        std::string why;
        const auto content = ReadWhole(folder_ + "/" + name, why);
        auto entry = content ? DecodeOutboxEntry(*content) : std::nullopt;
        if (!entry) {
            PutAside(name, content ? "not an outbox entry" : why);
            continue;
        }
        entry->id = name.substr(0, name.size() - kSuffix.size());
        entries.push_back(std::move(*entry));
    }
    return entries;
}

Result<> OutboxFolder::Save(const OutboxEntry& entry) {
    if (Result<> made = MakeFolder(); !made.ok()) {
        return made;
    }
    if (auto error =
            WriteFileAtomically(PathOf(entry.id), EncodeOutboxEntry(entry), S_IRUSR | S_IWUSR)) {
        return Fail(std::move(*error));
    }
    return {};
}

std::vector<Result<>> OutboxFolder::SaveAll(
    const std::vector<OutboxEntry>& entries,
    const std::function<bool(const OutboxEntry&)>& still_wanted) {
    if (entries.empty()) {
        return {};
    }
    if (Result<> made = MakeFolder(); !made.ok()) {
        return std::vector<Result<>>(entries.size(), made);
    }
    std::vector<std::pair<std::string, std::string>> files;
    for (const OutboxEntry& entry : entries) {
        files.emplace_back(PathOf(entry.id), EncodeOutboxEntry(entry));
    }
    std::vector<Result<>> outcomes;
    const auto wanted = [&](size_t i) { return !still_wanted || still_wanted(entries[i]); };
    for (std::optional<std::string>& error :
         WriteFilesAtomically(files, S_IRUSR | S_IWUSR, wanted)) {
        outcomes.push_back(error ? Result<>(Fail(std::move(*error))) : Result<>());
    }
    return outcomes;
}

Result<> OutboxFolder::MakeFolder() const {
    if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) {
        return Fail("cannot make " + folder_ + ": " + std::strerror(errno));
    }
    return {};
}

Result<> OutboxFolder::Remove(const std::string& id) {
    // Without a flush of its own: the folder's next flush (the next write's, or the file
    // system's own commit) takes the removal to the disk. A power cut before then brings the
    // mail back, to be sent again under its Message-ID; the mail thread does not wait for the
    // disk between two mails.
    const std::string path = PathOf(id);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return Fail("cannot remove " + path + ": " + std::strerror(errno));
    }
    return {};
}

void OutboxFolder::PutAside(const std::string& name, const std::string& why) const {
    const std::string bad = folder_ + "/bad";
    ::mkdir(bad.c_str(), 0700);
    const std::string from = folder_ + "/" + name;
    if (::rename(from.c_str(), (bad + "/" + name).c_str()) == 0) {
        std::cerr << "quillet: outbox file " << from << " could not be read (" << why
                  << "); moved to " << bad << "\n";
    } else {
        std::cerr << "quillet: outbox file " << from << " could not be read (" << why
                  << ") nor moved aside: " << std::strerror(errno) << "\n";
    }
}

SentToday OutboxFolder::LoadSentToday() {
    std::string why;
    const auto content = ReadWhole(folder_ + "/sent-today", why);
    SentToday today;
    if (content) {
        std::istringstream words(*content);
        if (!(words >> today.day >> today.recipients) || today.recipients < 0) {
            return {};
        }
    }
    return today;
}

void OutboxFolder::SaveSentToday(const SentToday& today) {
    if (owned_ && MakeFolder().ok()) {
        (void)WriteFileAtomically(folder_ + "/sent-today",
                                  today.day + " " + std::to_string(today.recipients) + "\n",
                                  S_IRUSR | S_IWUSR);
    }
}

}  // namespace quillet
