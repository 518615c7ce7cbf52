#include "accounts/account_list_layout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillet {
namespace {

TEST(AccountsResizeRuleTest, WorkedSizes) {
    struct Case {
        float width, height;
        AccountsLayout expected;
    };
    const Case cases[] = {
        {10305, 3795, {3247.5f, 3300, 5182.5f, 3300, 10305, 2970}},
        {3810, 825, {0, 330, 1935, 330, 3810, 0}},
    };
    for (const auto& c : cases) {
        const AccountsLayout l = AccountsResizeRule(c.width, c.height);
        EXPECT_FLOAT_EQ(l.ok_left, c.expected.ok_left) << c.width << "x" << c.height;
        EXPECT_FLOAT_EQ(l.ok_top, c.expected.ok_top);
        EXPECT_FLOAT_EQ(l.cancel_left, c.expected.cancel_left);
        EXPECT_FLOAT_EQ(l.cancel_top, c.expected.cancel_top);
        EXPECT_FLOAT_EQ(l.list_width, c.expected.list_width);
        EXPECT_FLOAT_EQ(l.list_height, c.expected.list_height);
    }
}

TEST(AccountsResizeRuleTest, CancelAndListFollowOkAsStored) {
    // Whole pixels at 96 dpi: 3247.5 twips (216.5 pixels) is stored as 217 pixels, 3255 twips.
    const auto pixels = [](float twips) { return std::round(twips / 15) * 15; };
    const AccountsLayout l = AccountsResizeRule(10305, 3795, pixels);
    EXPECT_FLOAT_EQ(l.ok_left, 3255);
    EXPECT_FLOAT_EQ(l.cancel_left, 3255 + 1875 + 60);
}

TEST(ColumnWidthsTest, CaptionsUnroundedCellsRoundedHalfToEven) {
    // A text's width is 100 twips per character, plus a quarter for a '+' and a half for '^'.
    const auto width = [](const std::string& text) {
        float w = 0;
        for (char c : text) {
            w += c == '+' ? 0.25f : c == '^' ? 100.5f : 100;
        }
        return w;
    };
    const std::vector<std::string> captions = {"Email+", "Req.Auth.", "Port"};
    const std::vector<std::vector<std::string>> rows = {
        {"a@x", "Yes", ""},
        {"abcdefg@x^", "No", "25"},  // 1000.5 + 180 rounds to 1180 (even)
        {"abcdefgh@x^", "No"},       // a short row leaves the last column alone
    };
    const auto widths = ColumnWidths(captions, rows, width);
    ASSERT_EQ(widths.size(), 3u);
    EXPECT_FLOAT_EQ(widths[0], 1280);       // 1100.5 + 180 = 1280.5 rounds to 1280
    EXPECT_FLOAT_EQ(widths[1], 900 + 180);  // every cell narrower than the caption
    EXPECT_FLOAT_EQ(widths[2], 400 + 180);  // an empty cell counts as 180
    EXPECT_FLOAT_EQ(ColumnWidths({"Email+"}, {}, width)[0], 680.25f);  // caption unrounded
}

TEST(CentreOverTest, CentresOnOuterSizesEvenOffTheScreen) {
    const WindowRect r = CentreOver({-100, 50, 8000, 7000}, 10425, 4305);
    EXPECT_FLOAT_EQ(r.left, -100 + (8000 - 10425) / 2.0f);
    EXPECT_FLOAT_EQ(r.top, 50 + (7000 - 4305) / 2.0f);
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
