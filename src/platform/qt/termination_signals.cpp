#include "platform/qt/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

namespace quillet {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler can reach nothing but this: the write end of the instance's socket pair.
std::atomic<int> signal_write_fd{-1};

void WriteOneByte(int) {
    const int fd = signal_write_fd.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
    }
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> on_signal)
    : on_signal_(std::move(on_signal)) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
        return;  // the signals keep their default handling
    }
    read_end_.reset(fds[0]);
    write_end_.reset(fds[1]);
    signal_write_fd.store(write_end_.get());
    notifier_ = std::make_unique<QSocketNotifier>(read_end_.get(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::OnSignal);
    struct sigaction action {};
    action.sa_handler = WriteOneByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    if (!write_end_) {
        return;
    }
    for (int signal : kSignals) {
        ::signal(signal, SIG_DFL);
    }
    signal_write_fd.store(-1);
}

void TerminationSignals::OnSignal() {
    char bytes[64];
    while (::read(read_end_.get(), bytes, sizeof bytes) > 0) {
    }
    if (on_signal_) {
        on_signal_();
    }
}

}  // namespace quillet
