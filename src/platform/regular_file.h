// Opening and reading a file that must be a regular one, without ever blocking on it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>

#include "platform/unique_fd.h"

namespace quillet {

// Why a file could not be had.
struct FileRefusal {
    bool missing = false;  // it does not exist (ENOENT)
    std::string message;   // "cannot read PATH: ..." or "PATH is not a regular file (a FIFO)"
};

enum class FileLinks { kFollow, kRefuse };

// Opens `path` for reading with O_NONBLOCK, so that a FIFO or a device never holds the caller,
// and keeps it only when fstat says it is a regular file. A FIFO, device, socket or folder
// is refused with a message naming what it is; with FileLinks::kRefuse (O_NOFOLLOW) so is a
// symbolic link ("PATH is a symbolic link"); a file that cannot be opened is refused with
// the system's reason.
std::variant<UniqueFd, FileRefusal> OpenRegularFile(const std::string& path,
                                                    FileLinks links = FileLinks::kFollow);

// Why `fd`, opened from `path` (for the message), is not a regular file; nothing when it is.
std::optional<FileRefusal> RefuseUnlessRegular(int fd, const std::string& path);

// The whole content of the regular file at `path`, of at most `max_bytes`. Refused as
// OpenRegularFile refuses, and also when reading fails or the file holds more than
// `max_bytes` ("PATH is larger than N bytes").
std::variant<std::string, FileRefusal> ReadRegularFile(const std::string& path, size_t max_bytes,
                                                       FileLinks links = FileLinks::kFollow);
// The same of a file open already at `fd`, read from where it stands.
std::variant<std::string, FileRefusal> ReadOpenFile(int fd, const std::string& path,
                                                    size_t max_bytes);

}  // namespace quillet
