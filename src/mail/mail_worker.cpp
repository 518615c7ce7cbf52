#include "mail/mail_worker.h"

#include <utility>

namespace quillet {

MailWorker::MailWorker(Post post)
    : post_(std::move(post)), alive_(std::make_shared<bool>(true)), thread_([this] { Run(); }) {}

MailWorker::~MailWorker() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    thread_.join();
    *alive_ = false;
}

void MailWorker::Submit(std::function<SendResult()> job, std::function<void(SendResult)> done) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(job), std::move(done)});
    }
    wake_.notify_one();
}

void MailWorker::Run() {
    while (true) {
        Job next;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) {
                return;
            }
            next = std::move(jobs_.front());
            jobs_.pop_front();
        }
        SendResult result = next.job();
        post_([alive = alive_, done = std::move(next.done), result = std::move(result)] {
            if (*alive) {
                done(result);
            }
        });
    }
}

}  // namespace quillet
