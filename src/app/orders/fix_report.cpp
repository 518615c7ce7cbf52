#include "app/orders/fix_report.h"

#include "app/orders/order_quantity.h"
#include "app/orders/order_texts.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

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

FixReportEvent None(std::string why, bool fault = true) {
    return {std::nullopt, std::move(why), fault};
}

// What a reason may quote of a field the counterparty sent: at most 40 bytes.
std::string Shown(const std::string& text) {
    constexpr size_t kMost = 40;
    return text.size() <= kMost ? text : text.substr(0, kMost) + "...";
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

// The states that make no line, by ExecType.
const char* StateName(const std::string& exec_type) {
    static const std::pair<const char*, const char*> kStates[] = {
        {"3", "Done for day"}, {"6", "Pending Cancel"},  {"7", "Stopped"},
        {"9", "Suspended"},    {"A", "Pending New"},     {"B", "Calculated"},
        {"D", "Restated"},     {"E", "Pending Replace"}, {"G", "Trade Correct"},
        {"H", "Trade Cancel"}, {"I", "Order Status"},
    };
    for (const auto& [code, name] : kStates) {
        if (exec_type == code) {
            return name;
        }
    }
    return nullptr;
}

// Text (58) and the name of OrdRejReason (103).
std::string RejectReason(const FixReportFields& report) {
    static const std::pair<const char*, const char*> kReasons[] = {
        {"0", "Broker / Exchange option"},
        {"1", "Unknown symbol"},
        {"2", "Exchange closed"},
        {"3", "Order exceeds limit"},
        {"4", "Too late to enter"},
        {"5", "Unknown order"},
        {"6", "Duplicate order"},
        {"7", "Duplicate of a verbally communicated order"},
        {"8", "Stale order"},
        {"9", "Trade along required"},
        {"10", "Invalid Investor ID"},
        {"11", "Unsupported order characteristic"},
        {"12", "Surveillance option"},
        {"13", "Incorrect quantity"},
        {"14", "Incorrect allocated quantity"},
        {"15", "Unknown account(s)"},
        {"18", "Invalid price increment"},
        {"99", "Other"},
    };
    if (report.OrdRejReason.empty()) {
        return report.Text;
    }
    std::string name = "OrdRejReason " + Shown(report.OrdRejReason);
    for (const auto& [code, known] : kReasons) {
        if (report.OrdRejReason == code) {
            name = known;
        }
    }
    return report.Text.empty() ? name : report.Text + " (" + name + ")";
}

// Fills, rejections and expiries; none for any other report.
std::optional<FixReportEvent> Outcome(const FixReportFields& report, const std::string& id) {
    const std::string& type = report.ExecType;
    const std::string& symbol = report.Symbol.empty() ? report.SecurityID : report.Symbol;
    if (type == "C") {
        return Checked(OrderExpired{id});
    }
    if (type == "8") {
        if (!report.OrderQty.empty() && !IsDecimalQuantity(report.OrderQty)) {
            return None("OrderQty is not a quantity: " + Shown(report.OrderQty));
        }
        return Checked(OrderRejected{id, RejectReason(report), LineSide(report.Side),
                                     DecimalQuantity{report.OrderQty}, symbol,
                                     report.SecurityExchange, "", report.Account});
    }
    if (type != "F" && type != "1" && type != "2") {
        return std::nullopt;
    }
    for (const auto& [name, text] :
         {std::pair("LastQty", &report.LastQty), std::pair("CumQty", &report.CumQty),
          std::pair("LeavesQty", &report.LeavesQty)}) {
        if (!IsDecimalQuantity(*text)) {
            return None(std::string(name) + " is not a quantity: " + Shown(*text));
        }
    }
    const std::optional<double> price = Number(report.LastPx);
    if (report.LastPx.empty() || !price) {
        return None("LastPx is not a price: " + Shown(report.LastPx));
    }
    return Checked(OrderFilled{id, LineSide(report.Side), symbol, DecimalQuantity{report.LastQty},
                               DecimalQuantity{report.CumQty}, DecimalQuantity{report.LeavesQty},
                               *price, report.SecurityExchange, report.Text, report.Account});
}

}  // namespace

FixReportEvent OrderEventFromFixReport(const FixReportFields& report) {
    const std::string& id = report.OrderID.empty() ? report.ClOrdID : report.OrderID;
    const std::optional<double> price = Number(report.Price);
    const std::optional<double> stop = Number(report.StopPx);
    if (std::optional<FixReportEvent> outcome = Outcome(report, id)) {
        return std::move(*outcome);
    }
    if (const char* state = StateName(report.ExecType)) {
        return None("ExecType " + report.ExecType + " (" + state + ") makes no order line", false);
    }
    if (report.ExecType != "0" && report.ExecType != "5" && report.ExecType != "4") {
        return None("ExecType " + Shown(report.ExecType) + " is not one Quillet knows");
    }
    if (!price || !stop) {
        return None("Price or StopPx is not a number: " + Shown(report.Price) + ", " +
                    Shown(report.StopPx));
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
        return None("OrderQty is not a whole number within 32 bits: " + Shown(report.OrderQty));
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

ReportNotListed NotListedReport(const FixReportFields& report, const FixReportEvent& mapped) {
    OrderEvent noted = ReportNotListed{
        Shown(report.OrderID.empty() ? report.ClOrdID : report.OrderID), Shown(report.ExecID),
        Shown(report.ExecType), mapped.why_none, mapped.fault};
    CleanOrderTexts(noted);
    return std::get<ReportNotListed>(std::move(noted));
}

}  // namespace quillet
