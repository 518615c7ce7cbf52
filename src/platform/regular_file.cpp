#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillet {
namespace {

const char* KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "a special file";
}

FileRefusal Failed(const std::string& path, int error) {
    return FileRefusal{error == ENOENT, "cannot read " + path + ": " + std::strerror(error)};
}

}  // namespace

std::variant<UniqueFd, FileRefusal> OpenRegularFile(const std::string& path, FileLinks links) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY |
                                         (links == FileLinks::kRefuse ? O_NOFOLLOW : 0)));
    if (!fd) {
        if (errno == ELOOP && links == FileLinks::kRefuse) {
            return FileRefusal{false, path + " is a symbolic link, not a regular file"};
        }
        return Failed(path, errno);
    }
    if (auto refusal = RefuseUnlessRegular(fd.get(), path)) {
        return std::move(*refusal);
    }
    return fd;
}

std::optional<FileRefusal> RefuseUnlessRegular(int fd, const std::string& path) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return Failed(path, errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return FileRefusal{false, path + " is not a regular file (" + KindOf(status.st_mode) + ")"};
    }
    return std::nullopt;
}

std::variant<std::string, FileRefusal> ReadRegularFile(const std::string& path, size_t max_bytes,
                                                       FileLinks links) {
    auto opened = OpenRegularFile(path, links);
    if (auto* refusal = std::get_if<FileRefusal>(&opened)) {
        return std::move(*refusal);
    }
    return ReadOpenFile(std::get<UniqueFd>(opened).get(), path, max_bytes);
}

std::variant<std::string, FileRefusal> ReadOpenFile(int fd, const std::string& path,
                                                    size_t max_bytes) {
    const FileRefusal too_large{false,
                                path + " is larger than " + std::to_string(max_bytes) + " bytes"};
    struct stat status {};
    if (::fstat(fd, &status) == 0 && static_cast<uint64_t>(status.st_size) > max_bytes) {
        return too_large;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) {
            return content;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Failed(path, errno);
        }
        if (content.size() + static_cast<size_t>(got) > max_bytes) {
            return too_large;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
}

}  // namespace quillet
