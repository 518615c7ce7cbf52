// The one way in for order events, whatever their source: events are handled one at a time, in
// the order they were submitted, each on a pass of the event loop of its own. An event submitted
// while nothing is under way is handled at once, within Submit: the caller's own pass is its
// pass. A handler may let its event's `done` wait (an order whose mail is not yet safe): the
// next event is handled meanwhile, and that `done` runs when the handler's `finish` is called.
//
// A handler that runs a nested event loop (a modal dialog) is not entered again: events
// submitted meanwhile wait, and are handled after it returns. Lives on the user-interface
// thread; Submit is called there too. Neither the handler nor a `done` may destroy the
// dispatcher.
#pragma once

#include <deque>
#include <functional>
#include <memory>

#include "app/orders/event_reply.h"
#include "app/orders/order_events.h"
#include "support/lifetime.h"

namespace quillet {

class OrderDispatcher {
  public:
    // Called once by a handler, during its run or later, with its event's reply when it may go.
    using Finish = std::function<void(const EventReply& reply)>;
    // Handles one event.
    using Handler =
        std::function<void(const OrderEvent& event, const EventOrigin& origin, Finish finish)>;
    // Runs `task` on a later pass of the event loop.
    using Post = std::function<void(std::function<void()> task)>;
    // Told of an event once its handler has called `finish`, with the reply it gave (a
    // Shutdown's handler calls it before it ends the program).
    using Done = std::function<void(const OrderEvent& event, const EventReply& reply)>;

    OrderDispatcher(Handler handler, Post post);
    OrderDispatcher(const OrderDispatcher&) = delete;
    OrderDispatcher& operator=(const OrderDispatcher&) = delete;

    // Handles `event` at once when no event is being handled or waiting and no `done` is
    // running; otherwise queues it for a later pass. `done` (may be empty) runs as said above.
    // `origin` says where the event came from, for the handler.
    void Submit(OrderEvent event, EventOrigin origin, Done done);

    // Whether an event is being handled (perhaps inside a nested event loop).
    bool Busy() const { return handling_; }
    // Whether events submitted wait for a later pass.
    bool HasWaiting() const { return !waiting_.empty(); }

  private:
    struct Waiting {
        OrderEvent event;
        EventOrigin origin;
        Done done;
        bool finished = false;
        EventReply reply = {};
    };

    void SchedulePass();
    void HandleNext();
    void Tell(const Waiting& handled);
    void Finished(const Waiting& handled);

    Handler handler_;
    Post post_;
    std::deque<Waiting> waiting_;
    bool handling_ = false;
    bool pass_posted_ = false;
    bool telling_ = false;  // a `done` runs: what it submits waits for a pass
    Lifetime lifetime_;     // passes and `finish`es that come after the dispatcher do nothing
};

}  // namespace quillet
