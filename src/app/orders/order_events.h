// The events of the order-notification control, with their parameters under their own names.
// `Answer` of Connect and QueryConnected is written by the handler: the value after it is
// what the control reads back.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

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
    // Not the platform's: why its mail is in memory only, for the reply; empty once it is safe.
    std::string Unsaved = {};
    // Not the platform's: why it made no line (and no mail), for the reply; empty when it did.
    std::string NotListed = {};
    // Not the platform's: what its mail's Message-ID is made of, the same whichever run mails
    // it (a FIX report's); empty: a new one.
    std::string MessageIdLeft = {};

    bool operator==(const OrderPlaced&) const = default;
};

struct OrderCancelled {
    std::string OrderId;
    // Not the platform's: why its mail is in memory only, for the reply; empty once it is safe.
    std::string Unsaved = {};
    // Not the platform's: what its mail's Message-ID is made of, the same whichever run mails
    // it (a FIX report's); empty: a new one.
    std::string MessageIdLeft = {};

    bool operator==(const OrderCancelled&) const = default;
};

struct OrderModified {
    std::string OrderId;
    double NewStopPrice = 0;
    double NewLimitPrice = 0;
    // Not the platform's: why its mail is in memory only, for the reply; empty once it is safe.
    std::string Unsaved = {};
    // Not the platform's: what its mail's Message-ID is made of, the same whichever run mails
    // it (a FIX report's); empty: a new one.
    std::string MessageIdLeft = {};

    bool operator==(const OrderModified&) const = default;
};

struct QueryConnected {
    std::string Text1, Text2, Text3;
    int32_t Answer = 0;

    bool operator==(const QueryConnected&) const = default;
};

struct Connect {
    std::string Text1, Text2;
    int32_t Answer = 0;

    bool operator==(const Connect&) const = default;
};

struct Disconnect {
    bool operator==(const Disconnect&) const = default;
};

struct Shutdown {
    // Not the platform's: the orders whose mails were lost, as the outbox could not keep them.
    std::vector<std::string> Lost = {};

    bool operator==(const Shutdown&) const = default;
};

// Not an event of the platform's: how the mail is doing, filled in by the handler.
struct Status {
    bool Connected = false;
    int32_t Waiting = 0;      // order mails in the outbox, to be tried again
    int32_t Failed = 0;       // order mails marked failed
    int32_t Delivered = 0;    // order mails delivered since start
    std::string FIX = "off";  // the FIX drop copy's session: "logged on", "connecting" or "off"
    int32_t Unsaved = 0;      // of the waiting and failed: those the outbox could not keep on disk

    bool operator==(const Status&) const = default;
};

// Asks for the main window in front; a second start of the program sends it.
struct Show {
    bool operator==(const Show&) const = default;
};

// Where an event came from: the control socket, the local HTTP endpoint or the FIX drop copy.
enum class EventSource { kSocket, kHttp, kFix };

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

using OrderEvent = std::variant<OrderPlaced, OrderCancelled, OrderModified, QueryConnected, Connect,
                                Disconnect, Shutdown, Status, Show>;

// The Unsaved note of an order event; none for the other events.
inline const std::string* UnsavedNoteOf(const OrderEvent& event) {
    if (const auto* placed = std::get_if<OrderPlaced>(&event)) {
        return &placed->Unsaved;
    }
    if (const auto* cancelled = std::get_if<OrderCancelled>(&event)) {
        return &cancelled->Unsaved;
    }
    if (const auto* modified = std::get_if<OrderModified>(&event)) {
        return &modified->Unsaved;
    }
    return nullptr;
}

inline std::string* UnsavedNoteOf(OrderEvent& event) {
    return const_cast<std::string*>(UnsavedNoteOf(static_cast<const OrderEvent&>(event)));
}

// The MessageIdLeft of an order event; none for the other events.
inline std::string* MessageIdLeftOf(OrderEvent& event) {
    return std::visit(
        [](auto& e) -> std::string* {
            if constexpr (requires { e.MessageIdLeft; }) {
                return &e.MessageIdLeft;
            } else {
                return nullptr;
            }
        },
        event);
}

}  // namespace quillet
