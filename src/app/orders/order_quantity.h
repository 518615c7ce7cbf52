// The quantities of order events as they may reach the order line and the mail.
//
// Every source of order events (the control socket, the HTTP endpoint, the FIX drop copy)
// refuses an event when CheckOrderQuantity names its quantity, so that an order of no shares, or
// of fewer than none, is never listed or mailed as if the platform had placed it, nor a fill of
// none as if shares had changed hands.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/orders/order_events.h"

namespace quillet {

// The most characters a DecimalQuantity may hold.
inline constexpr size_t kMaxDecimalQuantityChars = 40;

// Whether `text` is a DecimalQuantity's: 1 to kMaxDecimalQuantityChars characters, digits with at
// most one point ('.') between two of them. "0" and "007" are; "", "-1", ".5", "5.", "1e3" are not.
bool IsDecimalQuantity(std::string_view text);

// Empty for every event but an OrderPlaced whose Quantity is 0 or negative and an OrderFilled
// whose Quantity is 0 (all of its digits zeros); for those the refusal naming the field and the
// value, e.g.
// field "Quantity" must be a whole number above 0, not -100
// field "Quantity" must be above 0, not 0.00
std::string CheckOrderQuantity(const OrderEvent& event);

}  // namespace quillet
