// What became of one attempt at an order mail, as a watcher of the outbox is told it.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

struct MailOutcome {
    enum class Kind { kDelivered, kWaiting, kFailed };
    Kind kind = Kind::kDelivered;
    std::string order_id;
    std::string message_id;       // the mail's, once composed; empty before
    std::string server_reply;     // the server's last reply, when it gave one
    std::string reason;           // kWaiting and kFailed: why it was not delivered
    int64_t next_attempt_ms = 0;  // kWaiting: when it is tried again (milliseconds since 1970)

    bool operator==(const MailOutcome&) const = default;
};

}  // namespace quillet
