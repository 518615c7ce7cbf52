// The quantity of a placed order as it may reach the order line and the mail.
//
// Every source of order events (the control socket, the HTTP endpoint, the FIX drop copy)
// refuses an event when CheckOrderQuantity names its quantity, so that an order of no shares, or
// of fewer than none, is never listed or mailed as if the platform had placed it.
#pragma once

#include <string>

#include "app/orders/order_events.h"

namespace quillet {

// Empty for every event but an OrderPlaced whose Quantity is 0 or negative; for that one the
// refusal naming the field and the value, e.g.
// field "Quantity" must be a whole number above 0, not -100
std::string CheckOrderQuantity(const OrderEvent& event);

}  // namespace quillet
