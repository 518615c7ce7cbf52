#include "support/registry_value.h"

#include <gtest/gtest.h>

#include "support/fold_case.h"

namespace quillet {
namespace {

struct DecodeCase {
    const char* name;
    uint32_t type;
    std::string data;
    RegValue expected;
};

class DecodeRegValueTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeRegValueTest, DecodesTypeAndBytes) {
    EXPECT_EQ(DecodeRegValue(GetParam().type, GetParam().data), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DecodeRegValueTest,
    testing::Values(
        DecodeCase{"Text16", REG_SZ, std::string("smtp.example.org", 16) + '\0',
                   std::string("smtp.example.org")},
        DecodeCase{"EmptyText", REG_SZ, std::string(1, '\0'), std::string()},
        DecodeCase{"NoBytes", REG_SZ, "", RegNothing{}},
        DecodeCase{"Windows1252", REG_SZ, std::string("Caf\xE9 \x80", 6) + '\0',
                   std::string("Caf\xC3\xA9 \xE2\x82\xAC")},
        DecodeCase{"Binary", REG_BINARY, std::string("\x01\x00\xAB\x0F\x10", 5),
                   std::string("0100AB0F10")},
        DecodeCase{"BinaryOfDigit", REG_BINARY, std::string("1\0\0\0", 4), std::string("31000000")},
        DecodeCase{"EmptyBinary", REG_BINARY, "", std::string()},
        DecodeCase{"Dword25", REG_DWORD, std::string("\x19\0\0\0", 4), uint32_t{25}},
        DecodeCase{"DwordZero", REG_DWORD, std::string(4, '\0'), uint32_t{0}},
        DecodeCase{"DwordMax", REG_DWORD, std::string(4, '\xFF'), uint32_t{4294967295u}},
        DecodeCase{"DwordShort", REG_DWORD, std::string("\x4B\x02", 2), uint32_t{587}},
        DecodeCase{"ExpandText", REG_EXPAND_SZ, std::string("x\0", 2), RegNothing{}},
        DecodeCase{"MultiText", REG_MULTI_SZ, std::string("x\0\0", 3), RegNothing{}},
        DecodeCase{"None", REG_NONE, "x", RegNothing{}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegValueTextTest, NumbersAsDigitsNothingAsEmpty) {
    EXPECT_EQ(RegValueText(uint32_t{0}), "0");
    EXPECT_EQ(RegValueText(uint32_t{4294967295u}), "4294967295");
    EXPECT_EQ(RegValueText(std::string("text")), "text");
    EXPECT_EQ(RegValueText(RegNothing{}), "");
}

TEST(FoldCaseTest, MatchesTheLettersOfWindows1252InEitherCase) {
    EXPECT_TRUE(EqualsIgnoringCase("Default Mail Account", "DEFAULT mail account"));
    EXPECT_TRUE(EqualsIgnoringCase("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));  // été
    EXPECT_TRUE(EqualsIgnoringCase("\xC3\xBF\xC5\xA1\xC5\x93", "\xC5\xB8\xC5\xA0\xC5\x92"));  // ÿšœ
    EXPECT_FALSE(EqualsIgnoringCase("\xC3\xB7", "\xC3\x97"));  // ÷ and × are not a pair
    EXPECT_FALSE(EqualsIgnoringCase("a", "ab"));
    // A stray lead byte (Windows-1252 Ã or Å) leaves the letter after it to be matched.
    EXPECT_TRUE(EqualsIgnoringCase("\xC5land", "\xC5LAND"));
    EXPECT_TRUE(EqualsIgnoringCase("\xC3\xC3\xA9", "\xC3\xC3\x89"));
    // Positions in the folded text hold in the original.
    EXPECT_EQ(FindIgnoringCase("\xC3\xA9<smtp_server>", "SMTP_SERVER"), 3u);
    EXPECT_EQ(FindIgnoringCase("abc", "x"), std::string_view::npos);
    EXPECT_TRUE(EndsWithIgnoringCase("Mail.OEAccount", ".oeaccount"));
    EXPECT_FALSE(EndsWithIgnoringCase("count", ".oeaccount"));
}

}  // namespace
}  // namespace quillet
