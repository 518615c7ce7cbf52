// An execution report of a FIX drop copy as an order event: New (150=0) is OrderPlaced,
// Replaced (150=5) OrderModified, Canceled (150=4) OrderCancelled. Every other report (fills,
// rejects, pending states, restated, expired...) makes no event.
//
// The order is named by OrderID (37), the counterparty's id, which stays the same through the
// order's replacements and its cancel, so that its placed, modified and cancelled lines and mails
// all carry one id; ClOrdID (11) changes with every request and stands in only when OrderID is
// empty. The line's texts: Info6 Account (1), whose order it is; Info4 SecurityExchange (207),
// where; Info5 Text (58), what the counterparty said. Symbol (55), else SecurityID (48).
// Side: Buy and Buy minus are Buy (1); Sell, Sell plus and the short sells are Sell (2); any
// other side is 0, which leaves the side out of the line. OrdType: Market 1, Limit 3, Stop 2,
// Stop limit 4, Market on close 5 (the line's codes); any other is 0, no order-type piece.
// Prices (Price 44, StopPx 99) are 0 when absent.
#pragma once

#include <optional>
#include <string>

#include "app/orders/fix_report_fields.h"
#include "app/orders/order_events.h"

namespace quillet {

struct FixReportEvent {
    std::optional<OrderEvent> event;  // none: the report makes no line
    std::string why_none;             // when there is none: why, for the session's log
};

// Never fails on any input: a report that is not one of the three, or whose quantity or prices
// cannot be an order event's (not a number, a quantity not a whole number within 32 bits, a
// price not finite, a text longer than kMaxOrderTextChars, a New report's quantity not above 0),
// gives no event and the reason. The
// event's texts come without direction controls (CleanOrderTexts in order_texts.h).
FixReportEvent OrderEventFromFixReport(const FixReportFields& report);

}  // namespace quillet
