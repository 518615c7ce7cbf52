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
    r.LastQty = "40.50";
    r.LastPx = "12.5";
    r.CumQty = "40.50";
    r.LeavesQty = "59.5";
    return r;
}

TEST(FixReportTest, ReportsBecomeEventsOrSayWhyNot) {
    const OrderFilled fill{"O1",     1,    "XYZ",  {"40.50"}, {"40.50"},
                           {"59.5"}, 12.5, "XNAS", "note",    "ACC"};
    const OrderRejected reject{"O1", "note", 1, {"100"}, "XYZ", "XNAS", "", "ACC"};
    const struct {
        const char *exec_type, *side, *type, *qty;
        std::optional<OrderEvent> event;
        bool fault = true;  // when there is none
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
        {"F", "1", "2", "100", fill},  // a trade; in FIX 4.2 a partial fill and a fill
        {"1", "1", "2", "100", fill},
        {"2", "1", "2", "100", fill},
        {"8", "1", "2", "100", reject},
        {"8", "1", "2", "", OrderRejected{"O1", "note", 1, {}, "XYZ", "XNAS", "", "ACC"}},
        {"8", "1", "2", "1e3", std::nullopt},  // no quantity
        {"C", "1", "2", "100", OrderExpired{"O1"}},
        {"A", "1", "2", "100", std::nullopt, false},  // pending new: a state without a line
        {"H", "1", "2", "100", std::nullopt, false},  // trade cancel
        {"Z", "1", "2", "100", std::nullopt},         // not known
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
        EXPECT_EQ(got.fault, !c.event && c.fault) << c.exec_type << " " << c.qty;
    }
    // A fill's quantities must be quantities, of more than none, and its price a price; a
    // rejection's reason names OrdRejReason.
    const struct {
        std::string FixReportFields::*field;
        std::string value;
        std::optional<OrderEvent> event;
    } fills[] = {
        {&FixReportFields::LastQty, "0.00", std::nullopt},
        {&FixReportFields::LastQty, "-1", std::nullopt},
        {&FixReportFields::CumQty, "", std::nullopt},
        {&FixReportFields::LeavesQty, "1.", std::nullopt},
        {&FixReportFields::LastPx, "", std::nullopt},
        {&FixReportFields::LastPx, "x", std::nullopt},
        {&FixReportFields::Text, std::string(4097, 'x'), std::nullopt},
        {&FixReportFields::Text, "\x1b[2Jok\x07",
         OrderFilled{"O1", 1, "XYZ", {"40.50"}, {"40.50"}, {"59.5"}, 12.5, "XNAS", "[2Jok", "ACC"}},
    };
    for (const auto& c : fills) {
        FixReportFields report = Report("F", "1", "2", "100");
        report.*c.field = c.value;
        const FixReportEvent got = OrderEventFromFixReport(report);
        EXPECT_EQ(got.event, c.event) << c.value.substr(0, 20);
        EXPECT_EQ(got.fault, !c.event) << c.value.substr(0, 20);
    }
    FixReportFields rejected = Report("8", "0", "2", "");
    rejected.OrdRejReason = "3";
    EXPECT_EQ(OrderEventFromFixReport(rejected).event,
              OrderEvent(OrderRejected{
                  "O1", "note (Order exceeds limit)", 0, {}, "XYZ", "XNAS", "", "ACC"}));
    rejected.Text.clear();
    rejected.OrdRejReason = "42";
    EXPECT_EQ(std::get<OrderRejected>(*OrderEventFromFixReport(rejected).event).Reason,
              "OrdRejReason 42");
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
