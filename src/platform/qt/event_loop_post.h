// Tasks handed from any thread to the thread of an event loop, woken through a pipe. A pipe's
// wake-up tells the scheduler that the writer is about to wait, so the loop's thread runs on
// the writer's processor rather than on an idle one, which a virtual machine may take a
// quarter of a millisecond to bring back; Qt's own posted events wake it without that hint.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/unique_fd.h"

namespace quillet {

class EventLoopPost final : public QObject {
    Q_OBJECT
  public:
    // Runs the tasks on the thread that makes this object, which must run a Qt event loop.
    explicit EventLoopPost(QObject* parent = nullptr);
    ~EventLoopPost() override;

    // Runs `task` on the loop's thread, after every task posted before it; callable from any
    // thread. Tasks still waiting when the object goes are dropped.
    void Post(std::function<void()> task);
    // Runs `task` when the loop's thread is about to wait for events; called on that thread.
    void BeforeWaiting(std::function<void()> task);

  private:
    void RunPosted();
    void RunBeforeWaiting();

    UniqueFd read_end_;
    UniqueFd write_end_;
    std::unique_ptr<QSocketNotifier> readable_;
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::function<void()>> before_waiting_;  // the loop's thread only
    bool woken_ = false;  // a byte is in the pipe for the tasks waiting
};

}  // namespace quillet
