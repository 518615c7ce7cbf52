#include "support/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace quillet {
namespace {

struct WholeNumberCase {
    const char* text;
    std::optional<int32_t> expected;
};

class ReadWholeNumberTest : public testing::TestWithParam<WholeNumberCase> {};

TEST_P(ReadWholeNumberTest, ReadsLeadingNumberRoundedHalfToEven) {
    EXPECT_EQ(ReadWholeNumber(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    PortTexts, ReadWholeNumberTest,
    testing::Values(
        WholeNumberCase{"25", 25}, WholeNumberCase{"465 (SSL)", 465}, WholeNumberCase{"25.5", 26},
        WholeNumberCase{"24.5", 24}, WholeNumberCase{"-2.5", -2}, WholeNumberCase{"x25", 0},
        WholeNumberCase{"", 0}, WholeNumberCase{" 2 5", 25}, WholeNumberCase{"\t5\n87", 587},
        WholeNumberCase{"+25", 25}, WholeNumberCase{"-", 0}, WholeNumberCase{".", 0},
        WholeNumberCase{".5", 0}, WholeNumberCase{"1.5", 2}, WholeNumberCase{"2.5e1", 25},
        WholeNumberCase{"25e", 25}, WholeNumberCase{"25e+", 25}, WholeNumberCase{"1E3x", 1000},
        WholeNumberCase{"5.", 5}, WholeNumberCase{"25\r", 25},
        WholeNumberCase{"2147483647", 2147483647}, WholeNumberCase{"-2147483648", -2147483647 - 1},
        WholeNumberCase{"2147483647.5", std::nullopt}, WholeNumberCase{"2147483648", std::nullopt},
        WholeNumberCase{"99999999999999999999", std::nullopt},
        WholeNumberCase{"1e999", std::nullopt}, WholeNumberCase{"1e-999", 0}));

TEST(ReadLeadingNumberTest, KeepsFractionsAndGivesInfinityPastDoubleRange) {
    EXPECT_DOUBLE_EQ(ReadLeadingNumber("12.75 apples"), 12.75);
    EXPECT_TRUE(std::isinf(ReadLeadingNumber("-1e400")));
    EXPECT_LT(ReadLeadingNumber("-1e400"), 0);
}

}  // namespace
}  // namespace quillet
