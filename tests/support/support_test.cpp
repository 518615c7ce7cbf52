// The ground floor: Base64 as the settings file stores it, Windows-1252, numbers, registry
// values and letter case.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/ansi_code_page.h"
#include "support/base64.h"
#include "support/fold_case.h"
#include "support/number_text.h"
#include "support/registry_value.h"

namespace quillet {
namespace {

TEST(Base64Test, StoredFormAndLenientDecoding) {
    const std::pair<std::string, std::string> stored[] = {
        {"txtPort", "dHh0UG9ydA$$"}, {"é€", "6YA$"},  // Windows-1252 bytes E9 80
    };
    for (const auto& [text, form] : stored) {
        EXPECT_EQ(Base64EncodeForINI(text), form);
        EXPECT_EQ(Base64DecodeFromINI(form), text);
    }
    const std::pair<std::string, std::string> lenient[] = {
        {"YWJ", "ab@"},       // a short last group's zeros still count
        {"YQ==YWI=", "aab"},  // padding in the middle is just zeros
        {"-1", "\x03P"},      // "-" counts as 0
    };
    for (const auto& [encoded, text] : lenient) {
        EXPECT_EQ(Base64Decode(encoded), text) << encoded;
    }
    EXPECT_EQ(Base64Decode(Base64Encode("日本")), "??");
    EXPECT_EQ(Utf8ToAnsi("€ \xC3"), "\x80 ?");
}

TEST(NumberTextTest, ReadsTheLeadingNumberRoundedHalfToEven) {
    const std::pair<const char*, std::optional<int32_t>> cases[] = {
        {"465 (SSL)", 465},
        {"25.5", 26},
        {"24.5", 24},
        {"-2.5", -2},
        {"x25", 0},
        {"\t5\n87", 587},
        {"2.5e1", 25},
        {"-2147483648", -2147483647 - 1},
        {"2147483647.5", std::nullopt},
        {"1e999", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ReadWholeNumber(text), expected) << text;
    }
}

TEST(RegistryValueTest, DecodesTypeAndBytes) {
    const std::tuple<uint32_t, std::string, RegValue> cases[] = {
        {REG_SZ, std::string("Caf\xE9 \x80", 6) + '\0', std::string("Caf\xC3\xA9 \xE2\x82\xAC")},
        {REG_SZ, "", RegNothing{}},
        {REG_BINARY, std::string("\x01\x00\xAB", 3), std::string("0100AB")},
        {REG_DWORD, std::string(4, '\xFF'), uint32_t{4294967295u}},
        {REG_EXPAND_SZ, std::string("x\0", 2), RegNothing{}},
    };
    for (const auto& [type, data, expected] : cases) {
        EXPECT_EQ(DecodeRegValue(type, data), expected) << type;
    }
    EXPECT_EQ(RegValueText(uint32_t{4294967295u}), "4294967295");
}

TEST(FoldCaseTest, MatchesTheLettersOfWindows1252InEitherCase) {
    EXPECT_TRUE(EqualsIgnoringCase("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));  // été
    EXPECT_FALSE(EqualsIgnoringCase("\xC3\xB7", "\xC3\x97"));  // ÷ and × are not a pair
    // A stray lead byte (Windows-1252 Ã or Å) leaves the letter after it to be matched.
    EXPECT_TRUE(EqualsIgnoringCase("\xC5land", "\xC5LAND"));
    EXPECT_EQ(FindIgnoringCase("\xC3\xA9<smtp_server>", "SMTP_SERVER"), 3u);
}

}  // namespace
}  // namespace quillet
