#include "platform/profile/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/regular_file.h"

namespace quillet {
namespace {

constexpr size_t kMaxRecordBytes = 4096;

// The first line of the lock file, '' when there is none yet.
std::string ReadRecord(int fd) {
    char buffer[kMaxRecordBytes];
    const ssize_t count = ::pread(fd, buffer, sizeof buffer, 0);
    if (count <= 0) {
        return {};
    }
    const std::string text(buffer, static_cast<size_t>(count));
    const size_t end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(0, end);
}

}  // namespace

std::optional<std::string> InstanceLock::RecordSocket(const std::string& socket_path) {
    const std::string line = socket_path + "\n";
    if (::ftruncate(fd_.get(), 0) != 0 ||
        ::pwrite(fd_.get(), line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) {
        return std::string(std::strerror(errno));
    }
    return std::nullopt;
}

std::string RecordedHolderSocket(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    return fd ? ReadRecord(fd.get()) : std::string();
}

InstanceLockAttempt TakeInstanceLock(const std::string& path,
                                     std::chrono::milliseconds record_wait) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    const int open_error = errno;
    InstanceLockAttempt attempt;
    // A lock file that is not one (a link, a FIFO) would lock nothing another run sees alike.
    const std::string remedy =
        "; remove it, so that a run owns these settings and sends the "
        "mails their outbox keeps";
    if (!fd) {
        attempt.error = open_error == ELOOP
                            ? path + " is a symbolic link, not a regular file" + remedy
                            : path + " cannot be opened: " + std::strerror(open_error);
        return attempt;
    }
    if (auto refusal = RefuseUnlessRegular(fd.get(), path)) {
        attempt.error = refusal->message + remedy;
        return attempt;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        // A killed owner's socket may still stand there: a second start waits for ours.
        if (::ftruncate(fd.get(), 0) != 0) {
            attempt.error = path + " cannot be cleared: " + std::strerror(errno);
        }
        attempt.lock.emplace(std::move(fd));
        return attempt;
    }
    if (errno != EWOULDBLOCK) {
        attempt.error = path + " cannot be locked: " + std::strerror(errno);
        return attempt;
    }
    attempt.held_elsewhere = true;
    attempt.error = "another Quillet holds " + path;
    const auto deadline = std::chrono::steady_clock::now() + record_wait;
    while ((attempt.holder_socket = ReadRecord(fd.get())).empty() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return attempt;
}

}  // namespace quillet
