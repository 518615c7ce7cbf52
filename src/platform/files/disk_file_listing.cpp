#include "platform/files/disk_file_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/regular_file.h"
#include "platform/unique_fd.h"
#include "support/fold_case.h"

namespace quillet {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

}  // namespace

std::vector<FolderEntry> DiskFileListing::ListFolder(const std::string& folder) const {
    std::vector<FolderEntry> entries;
    const UniqueDir dir(::opendir(folder.c_str()));
    if (!dir) {
        return entries;
    }
    const int dir_fd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.empty() || name.front() == '.') {
            continue;
        }
        struct stat status {};
        if (::fstatat(dir_fd, name.c_str(), &status, 0) != 0) {
            continue;
        }
        if (S_ISDIR(status.st_mode) || S_ISREG(status.st_mode)) {
            entries.push_back(FolderEntry{name, S_ISDIR(status.st_mode)});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const std::string fa = FoldCase(a.name);
        const std::string fb = FoldCase(b.name);
        return fa != fb ? fa < fb : a.name < b.name;
    });
    return entries;
}

std::optional<std::string> DiskFileListing::ReadFile(const std::string& path,
                                                     size_t max_bytes) const {
    auto read = ReadRegularFile(path, max_bytes);
    if (auto* refusal = std::get_if<FileRefusal>(&read)) {
        if (!refusal->missing) {
            std::fprintf(stderr, "quillet: %s\n", refusal->message.c_str());
        }
        return std::nullopt;
    }
    return std::move(std::get<std::string>(read));
}

}  // namespace quillet
