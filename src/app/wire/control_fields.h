// The fields of each event of the control protocol (see control_protocol.h): their names on
// the wire, where they go, which may be left out. Shared by the request readers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "app/orders/order_events.h"

namespace quillet {

// One field of an event: its name on the wire, where it goes, and whether it must be given.
template <typename Event>
struct FieldRule {
    std::string_view name;
    std::variant<std::string Event::*, int32_t Event::*, double Event::*, DecimalQuantity Event::*>
        member;
    bool required = true;
};

inline constexpr bool kOptional = false;

inline const std::array<FieldRule<OrderPlaced>, 13> kOrderPlacedFields{{
    {"OrderId", &OrderPlaced::OrderId},
    {"Side", &OrderPlaced::Side},
    {"Quantity", &OrderPlaced::Quantity},
    {"Symbol", &OrderPlaced::Symbol},
    {"OrderType", &OrderPlaced::OrderType},
    {"StopPrice", &OrderPlaced::StopPrice},
    {"LimitPrice", &OrderPlaced::LimitPrice},
    {"Info1", &OrderPlaced::Info1, kOptional},
    {"Info2", &OrderPlaced::Info2, kOptional},
    {"Info3", &OrderPlaced::Info3, kOptional},
    {"Info4", &OrderPlaced::Info4, kOptional},
    {"Info5", &OrderPlaced::Info5, kOptional},
    {"Info6", &OrderPlaced::Info6, kOptional},
}};

inline const std::array<FieldRule<OrderCancelled>, 1> kOrderCancelledFields{{
    {"OrderId", &OrderCancelled::OrderId},
}};

inline const std::array<FieldRule<OrderModified>, 3> kOrderModifiedFields{{
    {"OrderId", &OrderModified::OrderId},
    {"NewStopPrice", &OrderModified::NewStopPrice},
    {"NewLimitPrice", &OrderModified::NewLimitPrice},
}};

inline const std::array<FieldRule<QueryConnected>, 4> kQueryConnectedFields{{
    {"Text1", &QueryConnected::Text1, kOptional},
    {"Text2", &QueryConnected::Text2, kOptional},
    {"Text3", &QueryConnected::Text3, kOptional},
    {"Answer", &QueryConnected::Answer, kOptional},
}};

inline const std::array<FieldRule<Connect>, 3> kConnectFields{{
    {"Text1", &Connect::Text1, kOptional},
    {"Text2", &Connect::Text2, kOptional},
    {"Answer", &Connect::Answer, kOptional},
}};

inline const std::array<FieldRule<OrderFilled>, 10> kOrderFilledFields{{
    {"OrderId", &OrderFilled::OrderId},
    {"Side", &OrderFilled::Side},
    {"Symbol", &OrderFilled::Symbol},
    {"Quantity", &OrderFilled::Quantity},
    {"FilledQuantity", &OrderFilled::FilledQuantity},
    {"LeavesQuantity", &OrderFilled::LeavesQuantity},
    {"FillPrice", &OrderFilled::FillPrice},
    {"Info4", &OrderFilled::Info4, kOptional},
    {"Info5", &OrderFilled::Info5, kOptional},
    {"Info6", &OrderFilled::Info6, kOptional},
}};

inline const std::array<FieldRule<OrderRejected>, 8> kOrderRejectedFields{{
    {"OrderId", &OrderRejected::OrderId},
    {"Reason", &OrderRejected::Reason},
    {"Side", &OrderRejected::Side, kOptional},
    {"Quantity", &OrderRejected::Quantity, kOptional},
    {"Symbol", &OrderRejected::Symbol, kOptional},
    {"Info4", &OrderRejected::Info4, kOptional},
    {"Info5", &OrderRejected::Info5, kOptional},
    {"Info6", &OrderRejected::Info6, kOptional},
}};

inline const std::array<FieldRule<OrderExpired>, 1> kOrderExpiredFields{{
    {"OrderId", &OrderExpired::OrderId},
}};

// Its texts, for them to be cleaned; never read from a request (WithEventRules names it not).
inline const std::array<FieldRule<ReportNotListed>, 4> kReportNotListedFields{{
    {"OrderId", &ReportNotListed::OrderId},
    {"ExecID", &ReportNotListed::ExecID},
    {"ExecType", &ReportNotListed::ExecType},
    {"Why", &ReportNotListed::Why},
}};

inline const std::array<FieldRule<Disconnect>, 0> kDisconnectFields{};
inline const std::array<FieldRule<Shutdown>, 0> kShutdownFields{};
inline const std::array<FieldRule<Status>, 0> kStatusFields{};
inline const std::array<FieldRule<Show>, 0> kShowFields{};

// Calls `read(rules)` with the field rules of the event named `name` (case matters) and gives
// back what it gives; `unknown()` when no event has that name. Both give the same type.
template <typename Read, typename Unknown>
auto WithEventRules(std::string_view name, Read&& read, Unknown&& unknown) {
    if (name == "OrderPlaced") {
        return read(kOrderPlacedFields);
    }
    if (name == "OrderCancelled") {
        return read(kOrderCancelledFields);
    }
    if (name == "OrderModified") {
        return read(kOrderModifiedFields);
    }
    if (name == "QueryConnected") {
        return read(kQueryConnectedFields);
    }
    if (name == "Connect") {
        return read(kConnectFields);
    }
    if (name == "Disconnect") {
        return read(kDisconnectFields);
    }
    if (name == "Shutdown") {
        return read(kShutdownFields);
    }
    if (name == "Status") {
        return read(kStatusFields);
    }
    if (name == "Show") {
        return read(kShowFields);
    }
    if (name == "OrderFilled") {
        return read(kOrderFilledFields);
    }
    if (name == "OrderRejected") {
        return read(kOrderRejectedFields);
    }
    if (name == "OrderExpired") {
        return read(kOrderExpiredFields);
    }
    return unknown();
}

}  // namespace quillet
