// The journal's record of an order event, as the main form handles it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/journal/journal.h"
#include "app/orders/order_events.h"

namespace quillet {

// The record of order event `event` (OrderPlaced, OrderCancelled, OrderModified, OrderFilled,
// OrderRejected, OrderExpired, a FIX report not listed ("ExecutionReport"), Connect or
// Disconnect; any other gives a record with only `at_ms` and the event), handled at `at_ms`,
// listed as `line` (empty: none). The symbol, side, quantity and price are those of a placed
// order, its price the one its order type names, with `decimal_separator`; a modification's
// price is its new limit price; a fill's are its own (the quantity of this fill, as given), a
// rejected order's those it names.
JournalEventRecord JournalRowOf(const OrderEvent& event, std::string line, int64_t at_ms,
                                std::string_view decimal_separator);

// Every field of `event` as a JSON object, texts that are not UTF-8 mended and quantities that may
// have a fraction as texts; "{}" for a Disconnect, "" for an event that is not an order's, a
// FIX report's, a Connect or a Disconnect.
std::string EventFieldsJson(const OrderEvent& event);

}  // namespace quillet
