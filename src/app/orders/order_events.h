// The events of the order-notification control, the requests of the platform, with their
// parameters under their own names. What the program answers is an EventReply (event_reply.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace quillet {

struct OrderPlaced {
    std::string OrderId;
    int32_t Side = 0;
    int32_t Quantity = 0;
    std::string Symbol;
    int32_t OrderType = 0;
    double StopPrice = 0;
    double LimitPrice = 0;
    std::string Info1, Info2, Info3, Info4, Info5, Info6;

    bool operator==(const OrderPlaced&) const = default;
};

// A number of shares as the platform wrote it, which may have a fraction: digits with at most one
// point between them ("40", "0.25", "100.50"), shown as given, never rounded. Empty: not given.
struct DecimalQuantity {
    std::string text;

    bool operator==(const DecimalQuantity&) const = default;
};

// Some or all of an order was bought or sold.
struct OrderFilled {
    std::string OrderId;
    int32_t Side = 0;
    std::string Symbol;
    DecimalQuantity Quantity;        // of this fill, above 0
    DecimalQuantity FilledQuantity;  // of the order so far, this fill included
    DecimalQuantity LeavesQuantity;  // of the order still open
    double FillPrice = 0;
    std::string Info4, Info5, Info6;

    bool operator==(const OrderFilled&) const = default;
};

// The order was refused, by the broker or the exchange; its fields when the platform knows them.
struct OrderRejected {
    std::string OrderId;
    std::string Reason;
    int32_t Side = 0;
    DecimalQuantity Quantity;
    std::string Symbol;
    std::string Info4, Info5, Info6;

    bool operator==(const OrderRejected&) const = default;
};

// The order's time ran out (its time in force) with some or all of it open.
struct OrderExpired {
    std::string OrderId;

    bool operator==(const OrderExpired&) const = default;
};

struct OrderCancelled {
    std::string OrderId;

    bool operator==(const OrderCancelled&) const = default;
};

struct OrderModified {
    std::string OrderId;
    double NewStopPrice = 0;
    double NewLimitPrice = 0;

    bool operator==(const OrderModified&) const = default;
};

struct QueryConnected {
    std::string Text1, Text2, Text3;
    int32_t Answer = 0;  // read back unchanged unless the platform is connected

    bool operator==(const QueryConnected&) const = default;
};

struct Connect {
    std::string Text1, Text2;
    int32_t Answer = 0;  // read back unchanged unless this connects

    bool operator==(const Connect&) const = default;
};

struct Disconnect {
    bool operator==(const Disconnect&) const = default;
};

struct Shutdown {
    bool operator==(const Shutdown&) const = default;
};

// Asks how the mail is doing; the reply's MailStatus says.
struct Status {
    bool operator==(const Status&) const = default;
};

// Asks for the main window in front; a second start of the program sends it.
struct Show {
    bool operator==(const Show&) const = default;
};

// A FIX execution report that made no order line, with why; the drop copy makes it so that the
// report is noted. No request of the socket or HTTP names it.
struct ReportNotListed {
    std::string OrderId, ExecID, ExecType;
    std::string Why;
    // The report would make a line but cannot (a quantity or a text that cannot be shown, an
    // unknown ExecType): told to the user too. False: a state that makes no line (Pending New).
    bool Fault = false;

    bool operator==(const ReportNotListed&) const = default;
};

// Where an event came from: the control socket, the local HTTP endpoint or the FIX drop copy.
enum class EventSource { kSocket, kHttp, kFix };

// Where an event came from, with what it fixes of its mail beforehand.
struct EventOrigin {
    EventOrigin(EventSource from = EventSource::kSocket,  // NOLINT: implicit, a source alone
                std::string id_left = {})
        : source(from), message_id_left(std::move(id_left)) {}

    EventSource source;
    // What its mail's Message-ID is made of, the same whichever run mails it (a FIX report's);
    // empty: a new one.
    std::string message_id_left;
};

// "socket", "http" or "fix", as the journal keeps it.
inline const char* SourceName(EventSource source) {
    switch (source) {
        case EventSource::kHttp:
            return "http";
        case EventSource::kFix:
            return "fix";
        case EventSource::kSocket:
            break;
    }
    return "socket";
}

using OrderEvent =
    std::variant<OrderPlaced, OrderCancelled, OrderModified, QueryConnected, Connect, Disconnect,
                 Shutdown, Status, Show, OrderFilled, OrderRejected, OrderExpired, ReportNotListed>;

}  // namespace quillet
