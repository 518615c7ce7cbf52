// The one line of text built for each order event.
#pragma once

#include <string>
#include <string_view>

#include "app/orders/order_events.h"

namespace quillet {

// "Buy" for the side codes 1 and 4, "Sell" for 2 and 3, empty for any other.
std::string_view SideName(int32_t side);

// "<Info6> - <Info4> - <Info5> - Buy <Quantity> share(s) of <Symbol>. Limit order with Limit
// price=<LimitPrice>  (OrderId=<OrderId>)"; the side and the order type each give a piece only
// for their known codes, and only the prices the order type names are printed. Prices use
// `decimal_separator`.
std::string OrderLine(const OrderPlaced& order, std::string_view decimal_separator);

// "Cancel Order: Orderid=<OrderId>".
std::string OrderLine(const OrderCancelled& order);

// "Modify Order: Orderid=<OrderId>   New Stop Price = <stop>   New Limit Price = <limit>".
std::string OrderLine(const OrderModified& order, std::string_view decimal_separator);

// The mail body of a modification: the list line with two blanks, not three, before
// "New Stop Price".
std::string ModifiedOrderMailBody(const OrderModified& order, std::string_view decimal_separator);

}  // namespace quillet
