#include "app/order_lines.h"

#include <gtest/gtest.h>

#include "support/number_format.h"

namespace quillet {
namespace {

OrderPlaced Example() {
    OrderPlaced o;
    o.OrderId = "77";
    o.Side = 1;
    o.Quantity = 100;
    o.Symbol = "XYZ";
    o.OrderType = 3;
    o.StopPrice = 11;
    o.LimitPrice = 12.5;
    o.Info4 = "B";
    o.Info5 = "C";
    o.Info6 = "A";
    o.Info1 = o.Info2 = o.Info3 = "unused";
    return o;
}

struct PlacedCase {
    int32_t side;
    int32_t quantity;
    int32_t order_type;
    const char* line;
};

TEST(OrderLineTest, OrderPlacedPiecesFollowSideAndType) {
    const PlacedCase cases[] = {
        {1, 100, 3,
         "A - B - C - Buy 100 share(s) of XYZ. Limit order with Limit price=12.5  (OrderId=77)"},
        {4, 100, 1, "A - B - C - Buy 100 share(s) of XYZ at Market price  (OrderId=77)"},
        {0, 100, 1, "A - B - C100 share(s) of XYZ at Market price  (OrderId=77)"},
        {5, 100, 1, "A - B - C100 share(s) of XYZ at Market price  (OrderId=77)"},
        {2, 10, 0, "A - B - C - Sell 10 share(s) of XYZ  (OrderId=77)"},
        {3, 10, 6, "A - B - C - Sell 10 share(s) of XYZ  (OrderId=77)"},
        {2, 10, 2,
         "A - B - C - Sell 10 share(s) of XYZ. Stop order with Stop price=11  (OrderId=77)"},
        {2, 10, 4,
         "A - B - C - Sell 10 share(s) of XYZ. StopLimit order with Stop price=11 and Limit "
         "price=12.5  (OrderId=77)"},
        {1, -5, 5, "A - B - C - Buy -5 share(s) of XYZ at Market Close price  (OrderId=77)"},
    };
    for (const auto& c : cases) {
        OrderPlaced o = Example();
        o.Side = c.side;
        o.Quantity = c.quantity;
        o.OrderType = c.order_type;
        EXPECT_EQ(OrderLine(o, "."), c.line);
    }
}

TEST(OrderLineTest, EmptyTextsLeaveEmptyPlacesAndCommaSeparatorIsUsed) {
    OrderPlaced o;
    o.Side = 1;
    o.Quantity = 1;
    o.OrderType = 3;
    o.LimitPrice = 12.5;
    EXPECT_EQ(OrderLine(o, ","),
              " -  -  - Buy 1 share(s) of . Limit order with Limit price=12,5  (OrderId=)");
}

TEST(FormatPriceTest, GeneralNumberText) {
    const std::pair<double, const char*> cases[] = {
        {-0.0, "0"},
        {1e15, "1E+15"},
        {999999999999999, "999999999999999"},
        {1e-5, "1E-05"},
        {0.0001, "0.0001"},
        {0.1 + 0.2, "0.3"},
        {-1e-7, "-1E-07"},
        {123456789.123456789, "123456789.123457"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(FormatPrice(value, "."), text) << value;
    }
    EXPECT_EQ(FormatPrice(1.5e20, ","), "1,5E+20");
}

}  // namespace
}  // namespace quillet
