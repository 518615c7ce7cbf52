// An execution report of a FIX drop copy as an order event: New (150=0) is OrderPlaced,
// Replaced (150=5) OrderModified, Canceled (150=4) OrderCancelled, Trade (150=F, and FIX 4.2's
// Partial fill 1 and Fill 2) OrderFilled, Rejected (150=8) OrderRejected, Expired (150=C)
// OrderExpired. Every other report (pending states, restated, done for day...) makes no line.
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
//
// A fill: Quantity LastQty (32), FillPrice LastPx (31), FilledQuantity CumQty (14),
// LeavesQuantity LeavesQty (151), each as given (a fraction kept); Side, Symbol and the Info
// texts as for New. A rejection: Reason Text (58), with the name of OrdRejReason (103) after it
// in parentheses ("insufficient margin (Order exceeds limit)"), or that name alone; Side,
// OrderQty as its Quantity (as given), Symbol, Info4 and Info6 as for New, Info5 empty (the
// text is the reason).
#pragma once

#include <optional>
#include <string>

#include "app/orders/fix_report_fields.h"
#include "app/orders/order_events.h"

namespace quillet {

struct FixReportEvent {
    std::optional<OrderEvent> event;  // none: the report makes no line
    std::string why_none;             // when there is none: why, for the session's log
    // When there is none: the report would make a line but cannot (its fault), rather than
    // being of a state that makes none.
    bool fault = false;
};

// Never fails on any input: a report of a state that makes no line gives no event and why; one
// of an ExecType not known, or whose quantities or prices cannot be an order event's (not a
// number; a New report's quantity not a whole number within 32 bits, or not above 0; a fill's
// not digits with at most one point, or of none; a price not finite; a text longer than
// kMaxOrderTextChars), gives no event, the reason and `fault`. The
// event's texts come without control characters (CleanOrderTexts in order_texts.h).
FixReportEvent OrderEventFromFixReport(const FixReportFields& report);

// The note of `report`, which made no line (`mapped` has no event, but why), for the journal:
// its order (OrderID, else ClOrdID), ExecID and ExecType cut to 40 bytes, its texts without
// control characters.
ReportNotListed NotListedReport(const FixReportFields& report, const FixReportEvent& mapped);

}  // namespace quillet
