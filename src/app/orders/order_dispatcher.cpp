#include "app/orders/order_dispatcher.h"

#include <utility>

namespace quillet {

OrderDispatcher::OrderDispatcher(Handler handler, Post post)
    : handler_(std::move(handler)), post_(std::move(post)) {}

void OrderDispatcher::Submit(OrderEvent event, EventOrigin origin, Done done) {
    waiting_.push_back({std::move(event), std::move(origin), std::move(done)});
    if (handling_ || telling_ || pass_posted_ || waiting_.size() > 1) {
        SchedulePass();
        return;
    }
    // Nothing is under way: this call is the event's pass, which spares the event loop a turn.
    HandleNext();
}

void OrderDispatcher::SchedulePass() {
    if (!pass_posted_) {
        pass_posted_ = true;
        post_(lifetime_.Guard([this] { HandleNext(); }));
    }
}

void OrderDispatcher::HandleNext() {
    pass_posted_ = false;
    if (handling_ || waiting_.empty()) {
        return;  // a running handler asks for the next pass when it returns
    }
    // Shared with `finish`, which may outlive this pass.
    auto next = std::make_shared<Waiting>(std::move(waiting_.front()));
    waiting_.pop_front();
    handling_ = true;
    handler_(next->event, next->origin, lifetime_.Guard([this, next](const EventReply& reply) {
        if (!next->finished) {
            next->finished = true;
            next->reply = reply;
            Finished(*next);
        }
    }));
    handling_ = false;
    if (!waiting_.empty()) {
        SchedulePass();
    }
}

void OrderDispatcher::Finished(const Waiting& handled) {
    Tell(handled);
    if (!handling_ && !waiting_.empty()) {
        SchedulePass();  // what its `done` submitted
    }
}

void OrderDispatcher::Tell(const Waiting& handled) {
    if (handled.done) {
        const bool nested = telling_;
        telling_ = true;
        handled.done(handled.event, handled.reply);
        telling_ = nested;
    }
}

}  // namespace quillet
