#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/unique_fd.h"

namespace quillet {
namespace {

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// A temporary file is named after its target, then this, then six letters or digits of
// mkstemp's: a name no one gives a file of their own ("quillet.ini.backup" stays).
constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr size_t kTemporaryTail = kTemporaryNameExtra;
static_assert(kTemporaryTail == kTemporaryMark.size() + 6);

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// `path`, or the file it links to.
std::string Resolved(const std::string& path) {
    char* target = ::realpath(path.c_str(), nullptr);
    if (target == nullptr) {
        return path;
    }
    std::string resolved = target;
    std::free(target);
    return resolved;
}

}  // namespace

bool IsTemporaryName(std::string_view name, std::string_view target) {
    if (target.empty() || name.size() != target.size() + kTemporaryTail ||
        !name.starts_with(target) ||
        name.substr(target.size(), kTemporaryMark.size()) != kTemporaryMark) {
        return false;
    }
    return std::all_of(name.end() - (kTemporaryTail - kTemporaryMark.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

void RemoveLeftTemporaries(const std::string& path) {
    const std::string target = Resolved(path);
    const std::string folder = FolderOf(target);
    const std::string_view name = std::string_view(target).substr(target.rfind('/') + 1);
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        if (IsTemporaryName(entry->d_name, name)) {
            ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
        }
    }
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {

// Flushes the folder of `path`, so that a rename or removal in it reaches the disk.
void FlushFolderOf(const std::string& path) {
    const UniqueFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) {
        ::fsync(folder.get());
    }
}

}  // namespace

std::optional<std::string> WriteFileAtomically(const std::string& given_path,
                                               std::string_view content, mode_t mode) {
    // Through a symbolic link, the link's target is the file replaced; the link stays.
    std::string path = given_path;
    struct stat link {};
    if (::lstat(given_path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* target = ::realpath(given_path.c_str(), nullptr);
        if (target == nullptr) {
            return "cannot write " + given_path + ": " + std::strerror(errno);
        }
        path = target;
        std::free(target);
    }
    std::string temp = path + std::string(kTemporaryMark) + "XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    const bool created = static_cast<bool>(fd);
    int error = created ? 0 : errno;
    if (error == 0 &&
        (::fchmod(fd.get(), mode) != 0 || !WriteAll(fd.get(), content) || ::fsync(fd.get()) != 0)) {
        error = errno;
    }
    if (error == 0 && ::close(fd.release()) != 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        if (created) {
            ::unlink(temp.c_str());
        }
        return "cannot write " + path + ": " + std::strerror(error);
    }
    FlushFolderOf(path);  // the rename itself reaches the disk with the folder
    return std::nullopt;
}

std::vector<std::optional<std::string>> WriteFilesAtomically(
    const std::vector<std::pair<std::string, std::string>>& files, mode_t mode,
    const std::function<bool(size_t)>& still_wanted) {
    std::vector<std::optional<std::string>> outcomes(files.size());
    std::vector<std::string> temps(files.size());
    const auto failed = [&](size_t i, int error) {
        outcomes[i] = "cannot write " + files[i].first + ": " + std::strerror(error);
    };
    for (size_t i = 0; i < files.size(); ++i) {
        std::string temp = files[i].first + std::string(kTemporaryMark) + "XXXXXX";
        UniqueFd fd(::mkstemp(temp.data()));
        if (!fd) {
            failed(i, errno);
            continue;
        }
        if (::fchmod(fd.get(), mode) != 0 || !WriteAll(fd.get(), files[i].second) ||
            ::close(fd.release()) != 0) {
            failed(i, errno);
            ::unlink(temp.c_str());
            continue;
        }
        temps[i] = std::move(temp);
    }
    // One flush for every file written: their contents reach the disk before any rename.
    const bool any = std::any_of(outcomes.begin(), outcomes.end(),
                                 [](const auto& outcome) { return !outcome; });
    if (any) {
        const UniqueFd folder(
            ::open(FolderOf(files.front().first).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const int error = !folder || ::syncfs(folder.get()) != 0 ? errno : 0;
        if (error != 0) {
            for (size_t i = 0; i < files.size(); ++i) {
                if (!outcomes[i]) {
                    failed(i, error);
                    ::unlink(temps[i].c_str());
                }
            }
            return outcomes;
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (outcomes[i]) {
            continue;
        }
        if (still_wanted && !still_wanted(i)) {
            ::unlink(temps[i].c_str());
        } else if (::rename(temps[i].c_str(), files[i].first.c_str()) != 0) {
            failed(i, errno);
            ::unlink(temps[i].c_str());
        }
    }
    if (any) {
        FlushFolderOf(files.front().first);  // the renames reach the disk with the folder
    }
    return outcomes;
}

}  // namespace quillet
