#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

}  // namespace

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

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
    std::string temp = path + ".XXXXXX";
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
    // The rename itself reaches the disk with the folder.
    const UniqueFd folder(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) {
        ::fsync(folder.get());
    }
    return std::nullopt;
}

}  // namespace quillet
