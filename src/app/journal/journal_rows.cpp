#include "app/journal/journal_rows.h"

#include <nlohmann/json.hpp>

#include "app/orders/order_lines.h"
#include "support/number_format.h"

namespace quillet {
namespace {

using nlohmann::json;

std::string Dump(const json& fields) {
    return fields.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

JournalEventRecord JournalRowOf(const OrderEvent& event, std::string line, int64_t at_ms,
                                std::string_view decimal_separator) {
    JournalEventRecord row;
    row.at_ms = at_ms;
    row.line = std::move(line);
    row.facts = event;
    if (const auto* placed = std::get_if<OrderPlaced>(&event)) {
        row.event = "OrderPlaced";
        row.order_id = placed->OrderId;
        row.symbol = placed->Symbol;
        row.side = SideName(placed->Side);
        row.quantity = std::to_string(placed->Quantity);
        const bool stop = placed->OrderType == 2;
        const bool limit = placed->OrderType == 3 || placed->OrderType == 4;
        row.price = stop    ? FormatPrice(placed->StopPrice, decimal_separator)
                    : limit ? FormatPrice(placed->LimitPrice, decimal_separator)
                            : "";
    } else if (const auto* cancelled = std::get_if<OrderCancelled>(&event)) {
        row.event = "OrderCancelled";
        row.order_id = cancelled->OrderId;
    } else if (const auto* modified = std::get_if<OrderModified>(&event)) {
        row.event = "OrderModified";
        row.order_id = modified->OrderId;
        row.price = FormatPrice(modified->NewLimitPrice, decimal_separator);
    } else if (const auto* filled = std::get_if<OrderFilled>(&event)) {
        row.event = "OrderFilled";
        row.order_id = filled->OrderId;
        row.symbol = filled->Symbol;
        row.side = SideName(filled->Side);
        row.quantity = filled->Quantity.text;
        row.price = FormatPrice(filled->FillPrice, decimal_separator);
    } else if (const auto* rejected = std::get_if<OrderRejected>(&event)) {
        row.event = "OrderRejected";
        row.order_id = rejected->OrderId;
        row.symbol = rejected->Symbol;
        row.side = SideName(rejected->Side);
        row.quantity = rejected->Quantity.text;
    } else if (const auto* expired = std::get_if<OrderExpired>(&event)) {
        row.event = "OrderExpired";
        row.order_id = expired->OrderId;
    } else if (const auto* report = std::get_if<ReportNotListed>(&event)) {
        row.event = "ExecutionReport";
        row.order_id = report->OrderId;
    } else if (std::holds_alternative<Connect>(event)) {
        row.event = "Connect";
    } else if (std::holds_alternative<Disconnect>(event)) {
        row.event = "Disconnect";
    }
    return row;
}

std::string EventFieldsJson(const OrderEvent& event) {
    if (const auto* placed = std::get_if<OrderPlaced>(&event)) {
        return Dump({{"OrderId", placed->OrderId},
                     {"Side", placed->Side},
                     {"Quantity", placed->Quantity},
                     {"Symbol", placed->Symbol},
                     {"OrderType", placed->OrderType},
                     {"StopPrice", placed->StopPrice},
                     {"LimitPrice", placed->LimitPrice},
                     {"Info1", placed->Info1},
                     {"Info2", placed->Info2},
                     {"Info3", placed->Info3},
                     {"Info4", placed->Info4},
                     {"Info5", placed->Info5},
                     {"Info6", placed->Info6}});
    }
    if (const auto* cancelled = std::get_if<OrderCancelled>(&event)) {
        return Dump({{"OrderId", cancelled->OrderId}});
    }
    if (const auto* modified = std::get_if<OrderModified>(&event)) {
        return Dump({{"OrderId", modified->OrderId},
                     {"NewStopPrice", modified->NewStopPrice},
                     {"NewLimitPrice", modified->NewLimitPrice}});
    }
    // Quantities as texts, as given.
    if (const auto* filled = std::get_if<OrderFilled>(&event)) {
        return Dump({{"OrderId", filled->OrderId},
                     {"Side", filled->Side},
                     {"Symbol", filled->Symbol},
                     {"Quantity", filled->Quantity.text},
                     {"FilledQuantity", filled->FilledQuantity.text},
                     {"LeavesQuantity", filled->LeavesQuantity.text},
                     {"FillPrice", filled->FillPrice},
                     {"Info4", filled->Info4},
                     {"Info5", filled->Info5},
                     {"Info6", filled->Info6}});
    }
    if (const auto* rejected = std::get_if<OrderRejected>(&event)) {
        return Dump({{"OrderId", rejected->OrderId},
                     {"Reason", rejected->Reason},
                     {"Side", rejected->Side},
                     {"Quantity", rejected->Quantity.text},
                     {"Symbol", rejected->Symbol},
                     {"Info4", rejected->Info4},
                     {"Info5", rejected->Info5},
                     {"Info6", rejected->Info6}});
    }
    if (const auto* expired = std::get_if<OrderExpired>(&event)) {
        return Dump({{"OrderId", expired->OrderId}});
    }
    if (const auto* report = std::get_if<ReportNotListed>(&event)) {
        return Dump({{"OrderId", report->OrderId},
                     {"ExecID", report->ExecID},
                     {"ExecType", report->ExecType},
                     {"Why", report->Why}});
    }
    if (const auto* connect = std::get_if<Connect>(&event)) {
        return Dump(
            {{"Text1", connect->Text1}, {"Text2", connect->Text2}, {"Answer", connect->Answer}});
    }
    if (std::holds_alternative<Disconnect>(event)) {
        return "{}";
    }
    return "";
}

}  // namespace quillet
