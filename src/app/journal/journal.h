// The journal: what happened to every order event and its mail, kept for the History window,
// the command line and export. Recording never waits on the disk: a journal takes the records
// in the order given and writes them on a thread of its own; one it cannot write is lost to the
// journal only (the order and its mail go on), and the journal says so on standard error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/orders/order_events.h"

namespace quillet {

// One order event as handled, the platform's Connect or Disconnect, or one of the program's own
// mails (an alert, the daily summary).
struct JournalEventRecord {
    int64_t at_ms = 0;              // when it was handled, UTC milliseconds
    std::string source = "socket";  // where it came from (SourceName); "quillet": its own mail
    // "OrderPlaced", "OrderCancelled", "OrderModified", "OrderFilled", "OrderRejected",
    // "OrderExpired", "ExecutionReport" (a FIX report not listed), "Connect", "Disconnect";
    // "Alert", "Summary"
    std::string event;
    std::string order_id;
    std::string symbol, side, quantity, price;  // as the order line shows them; may be empty
    // The event itself: the journal's own thread stores every field of it as a JSON object
    // (EventFieldsJson), so that the handling of an order does not format them.
    OrderEvent facts;
    std::string line;  // the order line listed; empty when none was
    std::string note;  // why no line or no mail came of it; empty when they did
    // Its mail, when one was made: the outbox's id, its Message-ID (settled before the mail is
    // composed), then as composed (may be empty until the first attempt composes it).
    std::string outbox_id, message_id, recipients, message;
    std::string mail_state;  // "", "waiting", "unsaved", "delivered" or "failed"
};

// What became of one attempt, or a change of state, of the mail of `outbox_id`.
struct JournalMailRecord {
    std::string outbox_id;
    int64_t at_ms = 0;
    std::string mail_state;  // "waiting", "unsaved", "delivered" or "failed"
    std::string reason;      // why it is not delivered; empty when it is
    std::string server_reply;
    std::optional<int64_t> delivered_ms;
    // When the attempt composed the mail: its Message-ID, its recipients (joined as the event's
    // are) and the message; empty otherwise.
    std::string message_id, recipients, message;
};

class Journal {
  public:
    virtual ~Journal() = default;
    virtual void RecordEvent(JournalEventRecord record) = 0;
    // Applies to the event whose mail it is, recorded before; nothing when there is none.
    virtual void RecordMail(JournalMailRecord record) = 0;
};

}  // namespace quillet
