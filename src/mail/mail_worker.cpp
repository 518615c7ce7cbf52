#include "mail/mail_worker.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quillet {

MailWorker::MailWorker(Post post, Post before_waiting)
    : post_(std::move(post)), before_waiting_(std::move(before_waiting)) {
    if (pipe2(wake_, O_CLOEXEC) != 0) {
        wake_[0] = wake_[1] = -1;  // the thread then polls: see Run
    }
    thread_ = std::thread([this] { Run(); });
}

MailWorker::~MailWorker() {
    Stop();
    for (const int fd : wake_) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void MailWorker::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    Wake();
    if (thread_.joinable()) {
        thread_.join();
    }
    lifetime_.End();
}

void MailWorker::Submit(std::function<SendResult()> job, std::function<void(SendResult)> done) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        jobs_.push_back({std::move(job), std::move(done)});
    }
    WakeSoon();
}

void MailWorker::WakeSoon() {
    if (!before_waiting_) {
        Wake();
    } else if (!std::exchange(wake_pending_, true)) {
        before_waiting_(lifetime_.Guard([this] {
            wake_pending_ = false;
            Wake();
        }));
    }
}

void MailWorker::Wake() {
    const char byte = 1;
    while (wake_[1] >= 0 && write(wake_[1], &byte, 1) < 0 && errno == EINTR) {
    }
}

void MailWorker::Run() {
    const sched_param no_priority{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &no_priority);  // see the header
    while (true) {
        Job next;
        {
            std::unique_lock lock(mutex_);
            while (!stopping_ && jobs_.empty()) {
                lock.unlock();
                // Bytes written before this read make it return at once; several are read
                // together. Without the pipe, a short sleep stands in for the wake-up.
                char bytes[64];
                if (wake_[0] < 0 || read(wake_[0], bytes, sizeof bytes) < 0) {
                    usleep(1000);
                }
                lock.lock();
            }
            if (stopping_) {
                return;
            }
            next = std::move(jobs_.front());
            jobs_.pop_front();
        }
        SendResult result = next.job();
        post_(lifetime_.Guard(
            [done = std::move(next.done), result = std::move(result)] { done(result); }));
    }
}

}  // namespace quillet
