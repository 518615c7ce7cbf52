#include "platform/qt/event_loop_post.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <cerrno>
#include <utility>

namespace quillet {

EventLoopPost::EventLoopPost(QObject* parent) : QObject(parent) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        read_end_ = UniqueFd(ends[0]);
        write_end_ = UniqueFd(ends[1]);
        readable_ = std::make_unique<QSocketNotifier>(read_end_.get(), QSocketNotifier::Read);
        connect(readable_.get(), &QSocketNotifier::activated, this, &EventLoopPost::RunPosted);
    }
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &EventLoopPost::RunBeforeWaiting);
    }
}

EventLoopPost::~EventLoopPost() {
    readable_.reset();  // before the pipe it watches
}

void EventLoopPost::Post(std::function<void()> task) {
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        wake = !std::exchange(woken_, true);
    }
    if (!wake) {
        return;  // the byte already written brings this task along
    }
    const char byte = 1;
    while (write_end_ && write(write_end_.get(), &byte, 1) < 0 && errno == EINTR) {
    }
    if (!write_end_) {
        // No pipe: Qt's own posted event does it, without the hint.
        QMetaObject::invokeMethod(this, &EventLoopPost::RunPosted, Qt::QueuedConnection);
    }
}

void EventLoopPost::BeforeWaiting(std::function<void()> task) {
    if (QAbstractEventDispatcher::instance() == nullptr) {
        task();  // no loop to wait
        return;
    }
    before_waiting_.push_back(std::move(task));
}

void EventLoopPost::RunBeforeWaiting() {
    std::vector<std::function<void()>> ready;
    ready.swap(before_waiting_);
    for (auto& task : ready) {
        task();
    }
}

void EventLoopPost::RunPosted() {
    char bytes[64];
    while (read_end_ && read(read_end_.get(), bytes, sizeof bytes) > 0) {
    }
    std::deque<std::function<void()>> ready;
    {
        const std::lock_guard lock(mutex_);
        ready.swap(tasks_);
        woken_ = false;
    }
    for (auto& task : ready) {
        task();
    }
}

}  // namespace quillet
