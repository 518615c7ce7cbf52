#include "app/orders/fix_report.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

FixReportFields Report(std::string exec_type, std::string side, std::string type, std::string qty) {
    FixReportFields r;
    r.ExecType = std::move(exec_type);
    r.OrderID = "O1";
    r.ClOrdID = "C1";
    r.Side = std::move(side);
    r.OrdType = std::move(type);
    r.OrderQty = std::move(qty);
    r.Price = "12.5";
    r.StopPx = "11";
    r.Symbol = "XYZ";
    r.SecurityExchange = "XNAS";
    r.Account = "ACC";
    r.Text = "note";
    return r;
}

TEST(FixReportTest, NewReplacedCanceledBecomeEventsAndNothingElseDoes) {
    const struct {
        const char *exec_type, *side, *type, *qty;
        std::optional<OrderEvent> event;
    } cases[] = {
        {"0", "1", "2", "100",
         OrderPlaced{"O1", 1, 100, "XYZ", 3, 11, 12.5, "", "", "", "XNAS", "note", "ACC"}},
        {"0", "5", "3", "7.0",
         OrderPlaced{"O1", 2, 7, "XYZ", 2, 11, 12.5, "", "", "", "XNAS", "note", "ACC"}},
        {"0", "3", "1", "2",
         OrderPlaced{"O1", 1, 2, "XYZ", 1, 11, 12.5, "", "", "", "XNAS", "note", "ACC"}},
        {"0", "8", "P", "1",
         OrderPlaced{"O1", 0, 1, "XYZ", 0, 11, 12.5, "", "", "", "XNAS", "note", "ACC"}},
        {"0", "6", "4", "1",
         OrderPlaced{"O1", 2, 1, "XYZ", 4, 11, 12.5, "", "", "", "XNAS", "note", "ACC"}},
        {"0", "4", "5", "1",
         OrderPlaced{"O1", 2, 1, "XYZ", 5, 11, 12.5, "", "", "", "XNAS", "note", "ACC"}},
        {"5", "1", "2", "100", OrderModified{"O1", 11, 12.5}},
        {"4", "1", "2", "100", OrderCancelled{"O1"}},
        {"F", "1", "2", "100", std::nullopt},         // a fill
        {"8", "1", "2", "100", std::nullopt},         // rejected
        {"A", "1", "2", "100", std::nullopt},         // pending new
        {"0", "1", "2", "1.5", std::nullopt},         // no whole quantity
        {"0", "1", "2", "3000000000", std::nullopt},  // beyond 32 bits
        {"0", "1", "2", "1e3", std::nullopt},         // not a FIX number
        {"0", "1", "2", "-1", std::nullopt},          // fewer than none
        {"0", "1", "2", "", std::nullopt},            // none
    };
    for (const auto& c : cases) {
        const FixReportEvent got =
            OrderEventFromFixReport(Report(c.exec_type, c.side, c.type, c.qty));
        EXPECT_EQ(got.event, c.event) << c.exec_type << " " << c.side << " " << c.qty;
        EXPECT_EQ(got.why_none.empty(), c.event.has_value());
    }
    FixReportFields bare = Report("0", "1", "1", "4");
    bare.OrderID.clear();
    bare.Symbol.clear();
    bare.SecurityID = "US0001";
    bare.Price = bare.StopPx = "";
    EXPECT_EQ(
        OrderEventFromFixReport(bare).event,
        OrderEvent(OrderPlaced{"C1", 1, 4, "US0001", 1, 0, 0, "", "", "", "XNAS", "note", "ACC"}));
}

}  // namespace
}  // namespace quillet
