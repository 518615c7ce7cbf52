#include "app/orders/order_lines.h"

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

std::string ModifiedOrderMailBody(const OrderModified& order, std::string_view decimal_separator) {
    return ModifiedLine(order, decimal_separator, "  ");
}

}  // namespace quillet
