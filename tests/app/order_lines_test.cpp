#include "app/orders/order_lines.h"

#include <gtest/gtest.h>

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
