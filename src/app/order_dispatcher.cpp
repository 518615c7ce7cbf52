#include "app/order_dispatcher.h"

#include <utility>

namespace quillet {

OrderDispatcher::OrderDispatcher(Handler handler, Post post)
    : handler_(std::move(handler)),
      post_(std::move(post)),
      self_(std::make_shared<OrderDispatcher*>(this)) {}

void OrderDispatcher::Submit(OrderEvent event, Done done) {
    waiting_.push_back({std::move(event), std::move(done)});
    SchedulePass();
}

void OrderDispatcher::SchedulePass() {
    if (!pass_posted_) {
        pass_posted_ = true;
        // A pass that comes after the dispatcher has gone does nothing.
        post_([this, alive = std::weak_ptr<OrderDispatcher*>(self_)] {
            if (!alive.expired()) {
                HandleNext();
            }
        });
    }
}

void OrderDispatcher::HandleNext() {
    pass_posted_ = false;
    if (handling_ || waiting_.empty()) {
        return;  // a running handler asks for the next pass when it returns
    }
    Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    const bool shutdown = std::holds_alternative<Shutdown>(next.event);
    if (shutdown && next.done) {
        next.done(next.event);
    }
    handling_ = true;
    handler_(next.event);
    handling_ = false;
    if (!shutdown && next.done) {
        next.done(next.event);
    }
    if (!waiting_.empty()) {
        SchedulePass();
    }
}

}  // namespace quillet
