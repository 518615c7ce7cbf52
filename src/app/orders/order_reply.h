// Where the reply to one event goes once it may: the dispatcher's `finish`, with what the handler
// has written into the reply. The desk hands it along with the event; for an order whose mail is
// not yet safe, the outbox holds it (as its Safe) until the mail is.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "app/orders/event_reply.h"

namespace quillet {

class OrderReply {
  public:
    using Finish = std::function<void(const EventReply& reply)>;

    OrderReply() = default;
    // `finish` (may be empty) takes the reply when it goes.
    explicit OrderReply(Finish finish) : finish_(std::move(finish)) {}

    // What the reply says so far; the handler writes its answer here before the reply goes.
    EventReply& Content() { return content_; }

    // The reply goes now, for an event whose mail (if any) the outbox does not hold. A later
    // call does nothing.
    void operator()() {
        if (auto finish = std::exchange(finish_, nullptr)) {
            finish(content_);
        }
    }
    // The reply of an order whose mail the outbox holds goes now: `unsaved` is why the mail is
    // in memory only, empty when it is safe. A later call does nothing.
    void operator()(const std::string& unsaved) {
        if (finish_) {
            content_.unsaved = unsaved;
            content_.mail_kept = unsaved.empty();
        }
        (*this)();
    }

  private:
    Finish finish_;
    EventReply content_;
};

}  // namespace quillet
