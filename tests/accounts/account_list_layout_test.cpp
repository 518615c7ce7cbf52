#include "accounts/account_list_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillet {
namespace {

TEST(AccountsResizeRuleTest, CancelFollowsOkAsStored) {
    // Whole pixels at 96 dpi: 3247.5 twips (216.5 pixels) is stored as 217 pixels, 3255 twips.
    const auto pixels = [](float twips) { return std::round(twips / 15) * 15; };
    const AccountsLayout l = AccountsResizeRule(10305, 3795, pixels);
    EXPECT_FLOAT_EQ(l.ok_left, 3255);
    EXPECT_FLOAT_EQ(l.cancel_left, 3255 + 1875 + 60);
}

TEST(ColumnWidthsTest, CaptionsUnroundedCellsRoundedHalfToEven) {
    // 100 twips a character; '^' is 100.5.
    const auto width = [](const std::string& text) {
        float w = 0;
        for (char c : text) {
            w += c == '^' ? 100.5f : 100;
        }
        return w;
    };
    // 1000.5 + 180 and 1100.5 + 180 round to even; a short row leaves the last column alone.
    const auto widths = ColumnWidths({"Email^", "Req.Auth.", "Port"},
                                     {{"abcdefg@x^", "No", "25"}, {"abcdefgh@x^", "No"}}, width);
    EXPECT_EQ(widths, (std::vector<float>{1280, 1080, 580}));
    EXPECT_FLOAT_EQ(ColumnWidths({"Email^"}, {}, width)[0], 780.5f);  // caption unrounded
}

TEST(KeepWithinTest, MovesInJustFarEnough) {
    const WindowRect screen = {0, 30, 1920, 1050};  // a panel above
    const struct {
        WindowRect window;
        float left, top;
    } cases[] = {
        {{100, 100, 700, 290}, 100, 100},    // on the screen: stays
        {{-160, -40, 700, 290}, 0, 30},      // off at the top left
        {{1500, 900, 700, 290}, 1220, 790},  // off at the bottom right
        {{-50, 100, 2000, 1200}, 0, 30},     // larger than the screen: its top left shows
    };
    for (const auto& c : cases) {
        const WindowRect r = KeepWithin(c.window, screen);
        EXPECT_EQ(r.left, c.left) << c.window.left;
        EXPECT_EQ(r.top, c.top) << c.window.top;
        EXPECT_EQ(r.width, c.window.width);
    }
}

}  // namespace
}  // namespace quillet
