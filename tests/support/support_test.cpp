// The ground floor: Base64 as the settings file stores it, Windows-1252, numbers, registry
// values and letter case; the pure pieces of the account sources (the texts they decode and the
// tests they apply) and the account dialog's layout rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>

#include "accounts/account_file_text.h"
#include "accounts/account_flag.h"
#include "accounts/account_list_layout.h"
#include "accounts/bytes2string.h"
#include "accounts/get_xml_value.h"
#include "accounts/windows_mail_accounts.h"
#include "accounts/xml_references.h"
#include "support/ansi_code_page.h"
#include "support/base64.h"
#include "support/csv.h"
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
        {"24.5", 24},  // 25.5: SetupFormTest.SendsToEveryRecipientAsBlindCopy
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
        {REG_EXPAND_SZ, std::string("x\0", 2), RegNothing{}},
    };  // binary values and DWORDs: WineRegistryStoreTest's Numbers
    for (const auto& [type, data, expected] : cases) {
        EXPECT_EQ(DecodeRegValue(type, data), expected) << type;
    }
}

TEST(FoldCaseTest, MatchesTheLettersOfWindows1252InEitherCase) {
    EXPECT_TRUE(EqualsIgnoringCase("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"));  // été
    EXPECT_FALSE(EqualsIgnoringCase("\xC3\xB7", "\xC3\x97"));  // ÷ and × are not a pair
    // A stray lead byte (Windows-1252 Ã or Å) leaves the letter after it to be matched.
    EXPECT_TRUE(EqualsIgnoringCase("\xC5land", "\xC5LAND"));
    EXPECT_EQ(FindIgnoringCase("\xC3\xA9<smtp_server>", "SMTP_SERVER"), 3u);
}

using TextCase = std::pair<std::string, std::string>;  // input, expected

TEST(Bytes2StringTest, DecodesUtf16LittleEndianHexadecimal) {
    // Up to three trailing characters ignored, a pair read up to its first non-digit; to 255 the
    // Windows-1252 character (above: SearchAccountsTest); a surrogate pair even across a 0 unit.
    const TextCase cases[] = {{"4100420", "A"},
                              {"4g00", "\x04"},
                              {"8000", "\xE2\x82\xAC"},
                              {"3dd8000000de", "\xF0\x9F\x98\x80"},
                              {"3dd84100", "\xEF\xBF\xBD\x41"}};
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(Bytes2String(input), expected) << input;
    }
}

TEST(GetXMLvalueTest, FindsTheFirstElementTextByPlainSearch) {
    // Attributes, empty elements and references: SearchAccountsTest's Windows Mail files.
    const std::string xml =
        "<MessageAccount><SMTP_Server type=\"SZ\">smtp.example.org</SMTP_Server>"
        "<SMTP_User_Name/></MessageAccount>";
    EXPECT_EQ(GetXMLvalue(xml, "Server"), "smtp.example.org");  // a part of a longer name
    EXPECT_EQ(GetXMLvalue(xml, "SMTP_User_Name"), "");          // self-closing: "<" after ">"
}

TEST(DecodeXmlReferencesTest, KnownReferencesOnlyInOnePass) {
    EXPECT_EQ(DecodeXmlReferences("&amp;lt; &lt;&gt;&quot;&apos; &#229;&#xE5;&#x1F600;&#00065;"),
              "&lt; <>\"' \xC3\xA5\xC3\xA5\xF0\x9F\x98\x80\x41");
    // Unknown or malformed references, and numbers that are not characters, are kept.
    for (const char* kept : {"&nbsp; &AMP; &#; &#x; &#XE5; &#12a; & x; &amp", "&#0; &#xD800;",
                             "&#x110000; &#xFFFE; &#99999999999999999999;"}) {
        EXPECT_EQ(DecodeXmlReferences(kept), kept);
    }
}

TEST(AccountFlagTest, SetWhenTheLeadingNumberIsPositive) {
    const std::pair<const char*, int32_t> cases[] = {
        {"2", 1}, {"00000001", 1}, {" 1", 1}, {"0.5", 1}, {"1 (yes)", 1},
        {"0", 0}, {"", 0},         {"-1", 0}, {"yes", 0}, {"\x01", 0},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(AccountFlag(text), expected) << text;
    }
}

TEST(HexPortTextTest, HexadecimalToDecimalDigits) {
    const TextCase cases[] = {
        {"00000019", "25"}, {"0000024b", "587"}, {"1d1", "465"},
        {"19 junk", "25"},  {"x19", "0"},        {"ffffffffffffffffff", "18446744073709551615"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(HexPortText(input), expected) << input;
    }
}

// Windows-1252 or UTF-16 big-endian by byte-order mark (little-endian files are in
// account_search_test); line breaks dropped, a bare CR ending a line too, a bare LF kept.
TEST(AccountFileTextTest, DecodesByByteOrderMarkAndJoinsLines) {
    const TextCase cases[] = {
        {"<a>Zo\xEB</a>\r<b>\n\x80</b>\r\n", "<a>Zo\xC3\xAB</a><b>\n\xE2\x82\xAC</b>"},
        {std::string("\xFE\xFF\0a\0\r\0\n\x20\xAC", 10), "a\xE2\x82\xAC"},
        {"\xEF\xBB\xBF\xFF", "\xEF\xBF\xBD"},  // malformed UTF-8
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(AccountFileText(input), expected) << input;
    }
}

TEST(ColumnWidthsTest, CaptionsUnroundedCellsRoundedHalfToEven) {
    // 100 twips a character; '^' is 100.5.
    const auto width = [](const std::string& text) {
        return 100.0f * static_cast<float>(text.size()) +
               0.5f * static_cast<float>(std::ranges::count(text, '^'));
    };
    // 1000.5 + 180 and 1100.5 + 180 round to even; a short row leaves the last column alone.
    const auto widths = ColumnWidths({"Email^", "Req.Auth.", "Port"},
                                     {{"abcdefg@x^", "No", "25"}, {"abcdefgh@x^", "No"}}, width);
    EXPECT_EQ(widths, (std::vector<float>{1280, 1080, 580}));
    EXPECT_FLOAT_EQ(ColumnWidths({"Email^"}, {}, width)[0], 780.5f);  // caption unrounded
}

TEST(KeepWithinTest, MovesInJustFarEnough) {
    const WindowRect screen = {0, 30, 1920, 1050};  // a panel above
    const std::tuple<WindowRect, float, float> cases[] = {
        {{100, 100, 700, 290}, 100, 100},    // on the screen: stays
        {{1500, 900, 700, 290}, 1220, 790},  // off at the bottom right
        {{-50, 100, 2000, 1200}, 0, 30},     // larger than the screen: its top left shows
    };
    for (const auto& [window, left, top] : cases) {
        const WindowRect r = KeepWithin(window, screen);
        EXPECT_EQ(r.left, left) << window.left;
        EXPECT_EQ(r.top, top) << window.top;
        EXPECT_EQ(r.width, window.width);
    }
}

TEST(CsvTest, QuotesOnlyWhatNeedsItAndEndsRecordsInCrLf) {
    const std::pair<std::string, std::string> fields[] = {
        {"", ""},
        {"12.5", "12.5"},
        {"Zürich", "Zürich"},                              // UTF-8 as it is
        {"a,b", "\"a,b\""},                                // a comma
        {"250 \"ok\"", "\"250 \"\"ok\"\"\""},              // quotes doubled
        {"250-one\r\n250 two", "\"250-one\r\n250 two\""},  // lines kept inside
        {" 77", "\" 77\""},                                // blanks a reader could trim
    };
    for (const auto& [text, field] : fields) {
        EXPECT_EQ(CsvField(text), field) << text;
    }
    EXPECT_EQ(CsvRecord({"a", "", "b,c"}), "a,,\"b,c\"\r\n");
    EXPECT_EQ(CsvRecord({}), "\r\n");
}

}  // namespace
}  // namespace quillet
