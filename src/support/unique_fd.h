// Owning a POSIX file descriptor: it is closed when its owner goes.
#pragma once

#include <unistd.h>

#include <utility>

namespace quillet {

class UniqueFd {
  public:
    UniqueFd() = default;
    // Takes ownership of `fd`; a negative value means "none".
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // Closes the descriptor held (if any) and holds `fd` instead. A failing close is ignored:
    // the descriptor is gone either way on Linux.
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    // Gives up ownership without closing.
    int Release() { return std::exchange(fd_, -1); }

  private:
    int fd_ = -1;
};

}  // namespace quillet
