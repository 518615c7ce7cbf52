#include "app/orders/order_lines.h"

#include <algorithm>
#include <utility>

#include "support/number_format.h"

namespace quillet {
namespace {

std::string SidePiece(int32_t side) {
    const std::string_view name = SideName(side);
    return name.empty() ? std::string() : " - " + std::string(name) + " ";
}

std::string OrderTypePiece(const OrderPlaced& order, std::string_view separator) {
    switch (order.OrderType) {
        case 1:
            return " at Market price";
        case 2:
            return ". Stop order with Stop price=" + FormatPrice(order.StopPrice, separator);
        case 3:
            return ". Limit order with Limit price=" + FormatPrice(order.LimitPrice, separator);
        case 4:
            return ". StopLimit order with Stop price=" + FormatPrice(order.StopPrice, separator) +
                   " and Limit price=" + FormatPrice(order.LimitPrice, separator);
        case 5:
            return " at Market Close price";
        default:
            return "";
    }
}

std::string ModifiedLine(const OrderModified& order, std::string_view separator,
                         std::string_view gap_before_stop) {
    return "Modify Order: Orderid=" + order.OrderId + std::string(gap_before_stop) +
           "New Stop Price = " + FormatPrice(order.NewStopPrice, separator) +
           "   New Limit Price = " + FormatPrice(order.NewLimitPrice, separator);
}

// Whose order it is, where and what was said of it, as every order's line begins.
std::string InfoPieces(const std::string& info6, const std::string& info4,
                       const std::string& info5) {
    return info6 + " - " + info4 + " - " + info5;
}

// The side's word and a blank, or nothing for an unknown side.
std::string SideWord(int32_t side) {
    const std::string_view name = SideName(side);
    return name.empty() ? std::string() : std::string(name) + " ";
}

// The exact sum of two quantities of digits with at most one point: "40.5" and "59.50" give
// "100.00".
std::string QuantitySum(std::string_view a, std::string_view b) {
    const auto split = [](std::string_view text) {
        const size_t point = text.find('.');
        return point == std::string_view::npos
                   ? std::pair(text, std::string_view())
                   : std::pair(text.substr(0, point), text.substr(point + 1));
    };
    const auto [a_whole, a_fraction] = split(a);
    const auto [b_whole, b_fraction] = split(b);
    const size_t decimals = std::max(a_fraction.size(), b_fraction.size());
    const size_t wholes = std::max(a_whole.size(), b_whole.size());
    // Both as digits of the same length, the point left out; then added from the right.
    const auto aligned = [&](std::string_view whole, std::string_view fraction) {
        return std::string(wholes - whole.size(), '0') + std::string(whole) +
               std::string(fraction) + std::string(decimals - fraction.size(), '0');
    };
    const std::string x = aligned(a_whole, a_fraction);
    const std::string y = aligned(b_whole, b_fraction);
    std::string sum(x.size(), '0');
    int carry = 0;
    for (size_t at = x.size(); at-- > 0;) {
        const int digit = (x[at] - '0') + (y[at] - '0') + carry;
        sum[at] = static_cast<char>('0' + digit % 10);
        carry = digit / 10;
    }
    if (carry != 0) {
        sum.insert(sum.begin(), '1');
    }
    if (decimals > 0) {
        sum.insert(sum.size() - decimals, ".");
    }
    return sum;
}

}  // namespace

std::string_view SideName(int32_t side) {
    switch (side) {
        case 1:
        case 4:
            return "Buy";
        case 2:
        case 3:
            return "Sell";
        default:
            return "";
    }
}

std::string OrderLine(const OrderPlaced& order, std::string_view decimal_separator) {
    return order.Info6 + " - " + order.Info4 + " - " + order.Info5 + SidePiece(order.Side) +
           std::to_string(order.Quantity) + " share(s) of " + order.Symbol +
           OrderTypePiece(order, decimal_separator) + "  (OrderId=" + order.OrderId + ")";
}

std::string OrderLine(const OrderCancelled& order) {
    return "Cancel Order: Orderid=" + order.OrderId;
}

std::string OrderLine(const OrderModified& order, std::string_view decimal_separator) {
    return ModifiedLine(order, decimal_separator, "   ");
}

std::string OrderLine(const OrderFilled& order, std::string_view decimal_separator) {
    return InfoPieces(order.Info6, order.Info4, order.Info5) +
           " - Filled: " + SideWord(order.Side) + order.Quantity.text + " of " +
           QuantitySum(order.FilledQuantity.text, order.LeavesQuantity.text) + " share(s) of " +
           order.Symbol + " at " + FormatPrice(order.FillPrice, decimal_separator) + "; " +
           order.LeavesQuantity.text + " left  (OrderId=" + order.OrderId + ")";
}

std::string OrderLine(const OrderRejected& order) {
    std::string what = SideWord(order.Side);
    if (!order.Quantity.text.empty()) {
        what += order.Quantity.text + (order.Symbol.empty() ? " share(s)" : " share(s) of ");
    }
    what += order.Symbol;
    while (!what.empty() && what.back() == ' ') {
        what.pop_back();
    }
    std::string line = InfoPieces(order.Info6, order.Info4, order.Info5) + " - Rejected";
    for (const std::string* piece : {&std::as_const(what), &order.Reason}) {
        if (!piece->empty()) {
            line += ": " + *piece;
        }
    }
    return line + "  (OrderId=" + order.OrderId + ")";
}

std::string OrderLine(const OrderExpired& order) {
    return "Expired Order: Orderid=" + order.OrderId;
}

std::string ModifiedOrderMailBody(const OrderModified& order, std::string_view decimal_separator) {
    return ModifiedLine(order, decimal_separator, "  ");
}

}  // namespace quillet
