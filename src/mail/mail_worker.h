// Mail jobs off the user-interface thread: one thread of its own runs them one at a time, in
// the order given, and each job's outcome is handed back to the user-interface thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "mail/mail_runner.h"

namespace quillet {

class MailWorker final : public MailRunner {
  public:
    // Runs `task` on the user-interface thread's event loop; callable from any thread.
    using Post = std::function<void(std::function<void()> task)>;

    explicit MailWorker(Post post);
    // Waits for the running job (bounded by the transport's time-outs); drops those not begun.
    // No `done` runs after this.
    ~MailWorker() override;
    MailWorker(const MailWorker&) = delete;
    MailWorker& operator=(const MailWorker&) = delete;

    // Runs `job` on the worker's thread, then `done` with its outcome through `post`.
    void Submit(std::function<SendResult()> job, std::function<void(SendResult)> done) override;

  private:
    struct Job {
        std::function<SendResult()> job;
        std::function<void(SendResult)> done;
    };
    void Run();

    Post post_;
    std::shared_ptr<bool> alive_;  // read on the user-interface thread only
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once everything else is there
};

}  // namespace quillet
