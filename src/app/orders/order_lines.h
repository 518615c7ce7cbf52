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

// "<Info6> - <Info4> - <Info5> - Filled: Buy <Quantity> of <FilledQuantity + LeavesQuantity>
// share(s) of <Symbol> at <FillPrice>; <LeavesQuantity> left  (OrderId=<OrderId>)"; the side's
// word only for its known codes. Quantities as given; the order's whole is their exact sum, with
// as many decimals as the longer of the two. The price uses `decimal_separator`.
std::string OrderLine(const OrderFilled& order, std::string_view decimal_separator);

// "<Info6> - <Info4> - <Info5> - Rejected: Buy <Quantity> share(s) of <Symbol>: <Reason>
// (OrderId=<OrderId>)", with two blanks before the parenthesis; what is not known (the side's
// word for an unknown code, an empty quantity, symbol or reason) is left out with the words
// around it: "Rejected: XYZ: <Reason>", "Rejected: <Reason>", "Rejected".
std::string OrderLine(const OrderRejected& order);

// "Expired Order: Orderid=<OrderId>".
std::string OrderLine(const OrderExpired& order);

// The mail body of a modification: the list line with two blanks, not three, before
// "New Stop Price".
std::string ModifiedOrderMailBody(const OrderModified& order, std::string_view decimal_separator);

}  // namespace quillet
