#include "app/orders/order_lines.h"

#include <gtest/gtest.h>

#include <type_traits>
#include <variant>

#include "support/number_format.h"

namespace quillet {
namespace {

TEST(OrderLineTest, OrderPlacedPiecesFollowSideAndType) {
    const struct {
        int32_t side, quantity, order_type;
        const char* line;
    } cases[] = {
        {1, 100, 3,
         "A - B - C - Buy 100 share(s) of XYZ. Limit order with Limit price=12.5  (OrderId=77)"},
        {4, 100, 1, "A - B - C - Buy 100 share(s) of XYZ at Market price  (OrderId=77)"},
        {0, 100, 1, "A - B - C100 share(s) of XYZ at Market price  (OrderId=77)"},
        {2, 10, 0, "A - B - C - Sell 10 share(s) of XYZ  (OrderId=77)"},
        {2, 10, 2,
         "A - B - C - Sell 10 share(s) of XYZ. Stop order with Stop price=11  (OrderId=77)"},
        {2, 10, 4,
         "A - B - C - Sell 10 share(s) of XYZ. StopLimit order with Stop price=11 and Limit "
         "price=12.5  (OrderId=77)"},
        {1, -5, 5, "A - B - C - Buy -5 share(s) of XYZ at Market Close price  (OrderId=77)"},
    };
    for (const auto& c : cases) {
        const OrderPlaced o{"77",     c.side,   c.quantity, "XYZ", c.order_type, 11, 12.5,
                            "unused", "unused", "unused",   "B",   "C",          "A"};
        EXPECT_EQ(OrderLine(o, "."), c.line);
    }
    // Empty texts leave empty places; the separator given is used.
    EXPECT_EQ(OrderLine(OrderPlaced{"", 1, 1, "", 3, 0, 12.5, "", "", "", "", "", ""}, ","),
              " -  -  - Buy 1 share(s) of . Limit order with Limit price=12,5  (OrderId=)");
}

TEST(OrderLineTest, FillsRejectionsAndExpiriesShowTheirQuantitiesAsGiven) {
    const struct {
        OrderEvent event;
        const char* line;
    } cases[] = {
        {OrderFilled{"77", 0, "XYZ", {"40"}, {"40"}, {"60"}, 12.5, "B", "C", "A"},
         "A - B - C - Filled: 40 of 100 share(s) of XYZ at 12.5; 60 left  (OrderId=77)"},
        // Decimals as given, trailing zeros and digits beyond a double's kept; the whole is
        // their exact sum, carried.
        {OrderFilled{"77", 1, "XYZ", {"0.10"}, {"99.95"}, {"0.050"}, 1e-5, "B", "C", "A"},
         "A - B - C - Filled: Buy 0.10 of 100.000 share(s) of XYZ at 1E-05; 0.050 left  "
         "(OrderId=77)"},
        {OrderFilled{"7",
                     2,
                     "Q",
                     {"12345678901234567890.123456789"},
                     {"12345678901234567890.123456789"},
                     {"0"},
                     3,
                     "",
                     "",
                     ""},
         " -  -  - Filled: Sell 12345678901234567890.123456789 of "
         "12345678901234567890.123456789 share(s) of Q at 3; 0 left  (OrderId=7)"},
        {OrderRejected{"77", "insufficient margin", 1, {"100"}, "XYZ", "B", "C", "A"},
         "A - B - C - Rejected: Buy 100 share(s) of XYZ: insufficient margin  (OrderId=77)"},
        {OrderRejected{"77", "insufficient margin", 3, {"2.5"}, "", "B", "C", "A"},
         "A - B - C - Rejected: Sell 2.5 share(s): insufficient margin  (OrderId=77)"},
        {OrderRejected{"77", "Unknown symbol", 0, {}, "XYZ", "", "", ""},
         " -  -  - Rejected: XYZ: Unknown symbol  (OrderId=77)"},
        {OrderRejected{"77", "", 9, {}, "", "B", "C", "A"}, "A - B - C - Rejected  (OrderId=77)"},
        {OrderExpired{"77"}, "Expired Order: Orderid=77"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::visit(
                      [](const auto& e) -> std::string {
                          if constexpr (std::is_same_v<std::decay_t<decltype(e)>, OrderFilled>) {
                              return OrderLine(e, ".");
                          } else if constexpr (requires { OrderLine(e); }) {
                              return OrderLine(e);
                          } else {
                              return "";
                          }
                      },
                      c.event),
                  c.line);
    }
    // The fill price takes the user's separator; quantities stay as given.
    EXPECT_EQ(OrderLine(OrderFilled{"1", 1, "X", {"1.5"}, {"1.5"}, {"0"}, 12.5, "", "", ""}, ","),
              " -  -  - Filled: Buy 1.5 of 1.5 share(s) of X at 12,5; 0 left  (OrderId=1)");
}

TEST(FormatPriceTest, GeneralNumberText) {
    const std::pair<double, const char*> cases[] = {
        {-0.0, "0"},     {1e15, "1E+15"},    {999999999999999, "999999999999999"},
        {1e-5, "1E-05"}, {0.1 + 0.2, "0.3"}, {123456789.123456789, "123456789.123457"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(FormatPrice(value, "."), text) << value;
    }
    EXPECT_EQ(FormatPrice(1.5e20, ","), "1,5E+20");
}

}  // namespace
}  // namespace quillet
