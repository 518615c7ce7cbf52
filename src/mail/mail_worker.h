// Mail jobs off the user-interface thread: one thread of its own runs them one at a time, in
// the order given, and each job's outcome is handed back to the user-interface thread.
//
// The mail thread is woken through a pipe rather than a condition variable: a pipe's wake-up
// tells the scheduler that the writer is about to wait, so the mail thread starts on the
// writer's processor as soon as that goes back to its event loop, instead of on an idle
// processor, which a virtual machine may take a quarter of a millisecond to bring back.
//
// The mail thread runs as a batch thread (SCHED_BATCH): when it is woken, it does not take the
// processor from the thread running there. Woken by the user-interface thread, it starts once
// that thread waits; woken by the server's reply, it lets the server go back to waiting first. A
// mail's exchange then stays on one processor, as one program's would, instead of waking the
// idle one at each reply. It still gets its fair share of the processor; only the moment it
// starts is later, by what the thread before it has left to do. Where batch scheduling is not
// allowed, the thread runs as any other.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "mail/mail_runner.h"
#include "support/lifetime.h"

namespace quillet {

class MailWorker final : public MailRunner {
  public:
    // Runs `task` on the user-interface thread's event loop; callable from any thread.
    using Post = std::function<void(std::function<void()> task)>;

    // `before_waiting`, when given, runs a task on the user-interface thread just before that
    // next waits for events: the mail thread is woken then, once that thread's turn is done.
    explicit MailWorker(Post post, Post before_waiting = {});
    // Stops, as Stop does.
    ~MailWorker() override;
    MailWorker(const MailWorker&) = delete;
    MailWorker& operator=(const MailWorker&) = delete;

    // Runs `job` on the worker's thread, then `done` with its outcome through `post`. After
    // Stop, the job is dropped.
    void Submit(std::function<SendResult()> job, std::function<void(SendResult)> done) override;

    // Waits for the running job (bounded by the transport's time-outs) and joins the thread;
    // drops the jobs not begun. No `done` runs after this, and no job: what the jobs use may go
    // once it has returned. Called again, does nothing.
    void Stop();

  private:
    struct Job {
        std::function<SendResult()> job;
        std::function<void(SendResult)> done;
    };
    void Run();
    void Wake();

    void WakeSoon();

    Post post_;
    Post before_waiting_;
    bool wake_pending_ = false;    // user-interface thread only
    Lifetime lifetime_;  // ends at Stop, once the thread is joined
    std::mutex mutex_;
    int wake_[2] = {-1, -1};  // a byte written to [1] wakes the thread reading [0]
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread thread_;  // started once everything else is there
};

}  // namespace quillet
