#include "app/orders/fix_report.h"

#include "app/orders/order_quantity.h"
#include "app/orders/order_texts.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace quillet {
namespace {

// A FIX number: the whole text, digits with at most one point and a leading minus; absent is 0.
std::optional<double> Number(const std::string& text) {
    if (text.empty()) {
        return 0.0;
    }
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (error != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

int32_t LineSide(const std::string& side) {
    if (side == "1" || side == "3") {  // Buy, Buy minus
        return 1;
    }
    if (side == "2" || side == "4" || side == "5" || side == "6") {  // Sell, Sell plus, shorts
        return 2;
    }
    return 0;
}

int32_t LineOrderType(const std::string& type) {
    if (type == "1")
        return 1;  // Market
    if (type == "2")
        return 3;  // Limit
    if (type == "3")
        return 2;  // Stop
    if (type == "4")
        return 4;  // Stop limit
    if (type == "5")
        return 5;  // Market on close
    return 0;
}

FixReportEvent None(std::string why) {
    return {std::nullopt, std::move(why)};
}

// The event with its texts cleaned, or none when a text is too long to be a real one (a cut
// Symbol or OrderId could name another order) or its quantity is not above 0: such a report is
// refused like a bad request.
FixReportEvent Checked(OrderEvent event) {
    std::string error = CheckOrderTextLengths(event);
    if (error.empty()) {
        error = CheckOrderQuantity(event);
    }
    if (!error.empty()) {
        return None(std::move(error));
    }
    CleanOrderTexts(event);
    return {std::move(event), {}};
}

}  // namespace

FixReportEvent OrderEventFromFixReport(const FixReportFields& report) {
    const std::string& id = report.OrderID.empty() ? report.ClOrdID : report.OrderID;
    const std::optional<double> price = Number(report.Price);
    const std::optional<double> stop = Number(report.StopPx);
    if (report.ExecType != "0" && report.ExecType != "5" && report.ExecType != "4") {
        return None("ExecType " + report.ExecType + " makes no order line");
    }
    if (!price || !stop) {
        return None("Price or StopPx is not a number: " + report.Price + ", " + report.StopPx);
    }
    if (report.ExecType == "4") {
        return Checked(OrderCancelled{id});
    }
    if (report.ExecType == "5") {
        return Checked(OrderModified{id, *stop, *price});
    }
    const std::optional<double> quantity = Number(report.OrderQty);
    if (!quantity || *quantity != std::trunc(*quantity) ||
        *quantity < std::numeric_limits<int32_t>::min() ||
        *quantity > std::numeric_limits<int32_t>::max()) {
        return None("OrderQty is not a whole number within 32 bits: " + report.OrderQty);
    }
    OrderPlaced placed;
    placed.OrderId = id;
    placed.Side = LineSide(report.Side);
    placed.Quantity = static_cast<int32_t>(*quantity);
    placed.Symbol = report.Symbol.empty() ? report.SecurityID : report.Symbol;
    placed.OrderType = LineOrderType(report.OrdType);
    placed.StopPrice = *stop;
    placed.LimitPrice = *price;
    placed.Info4 = report.SecurityExchange;
    placed.Info5 = report.Text;
    placed.Info6 = report.Account;
    return Checked(std::move(placed));
}

}  // namespace quillet
