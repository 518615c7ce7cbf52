// Execution reports as order events: the input is the report's fields (ExecType, ExecID,
// OrderID, ClOrdID, Side, OrdType, OrderQty, Price, StopPx, Symbol, SecurityID,
// SecurityExchange, Account, Text, LastQty, LastPx, CumQty, LeavesQty, OrdRejReason) split at
// SOH. Only New, Replaced, Canceled, a trade, Rejected and Expired make an event, named by
// OrderID (ClOrdID without one), with the line's codes, finite prices and quantities as given; no
// event comes without its reason.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "app/orders/fix_report.h"
#include "app/orders/order_texts.h"
#include "fuzz_check.h"

namespace {

using quillet::fuzz::Check;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    quillet::FixReportFields r;
    for (std::string* field :
         {&r.ExecType, &r.ExecID, &r.OrderID, &r.ClOrdID, &r.Side, &r.OrdType, &r.OrderQty,
          &r.Price, &r.StopPx, &r.Symbol, &r.SecurityID, &r.SecurityExchange, &r.Account, &r.Text,
          &r.LastQty, &r.LastPx, &r.CumQty, &r.LeavesQty, &r.OrdRejReason}) {
        const size_t end = rest.find('\x01');
        *field = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    const quillet::FixReportEvent got = quillet::OrderEventFromFixReport(r);
    Check(got.event.has_value() == got.why_none.empty(), "no event comes without its reason");
    if (!got.event) {
        return 0;
    }
    // As the order line shows it: without the controls that would turn it around.
    const std::string id = quillet::WithoutControls(r.OrderID.empty() ? r.ClOrdID : r.OrderID);
    if (const auto* placed = std::get_if<quillet::OrderPlaced>(&*got.event)) {
        Check(r.ExecType == "0", "only New places an order");
        Check(placed->OrderId == id, "the order is named by OrderID, else ClOrdID");
        Check(placed->Side >= 0 && placed->Side <= 2, "a side is Buy, Sell or none");
        Check(placed->OrderType >= 0 && placed->OrderType <= 5, "an order type has a line code");
        Check(std::isfinite(placed->StopPrice) && std::isfinite(placed->LimitPrice),
              "prices are finite");
    } else if (const auto* modified = std::get_if<quillet::OrderModified>(&*got.event)) {
        Check(r.ExecType == "5", "only Replaced modifies an order");
        Check(modified->OrderId == id, "the order is named by OrderID, else ClOrdID");
        Check(std::isfinite(modified->NewStopPrice) && std::isfinite(modified->NewLimitPrice),
              "prices are finite");
    } else if (const auto* filled = std::get_if<quillet::OrderFilled>(&*got.event)) {
        Check(r.ExecType == "F" || r.ExecType == "1" || r.ExecType == "2", "only a trade fills");
        Check(filled->OrderId == id, "the order is named by OrderID, else ClOrdID");
        Check(filled->Quantity.text == r.LastQty && filled->LeavesQuantity.text == r.LeavesQty,
              "quantities are shown as given");
        Check(std::isfinite(filled->FillPrice), "prices are finite");
    } else if (const auto* rejected = std::get_if<quillet::OrderRejected>(&*got.event)) {
        Check(r.ExecType == "8", "only Rejected rejects an order");
        Check(rejected->OrderId == id, "the order is named by OrderID, else ClOrdID");
    } else if (const auto* expired = std::get_if<quillet::OrderExpired>(&*got.event)) {
        Check(r.ExecType == "C", "only Expired expires an order");
        Check(expired->OrderId == id, "the order is named by OrderID, else ClOrdID");
    } else {
        const auto* cancelled = std::get_if<quillet::OrderCancelled>(&*got.event);
        Check(cancelled != nullptr && r.ExecType == "4", "only Canceled cancels an order");
        Check(cancelled->OrderId == id, "the order is named by OrderID, else ClOrdID");
    }
    return 0;
}
