// The pure pieces of the account sources: the texts they decode and the tests they apply.
#include <gtest/gtest.h>

#include "accounts/account_file_text.h"
#include "accounts/account_flag.h"
#include "accounts/bytes2string.h"
#include "accounts/get_xml_value.h"
#include "accounts/windows_mail_accounts.h"
#include "accounts/xml_references.h"

namespace quillet {
namespace {

using TextCase = std::pair<std::string, std::string>;  // input, expected

TEST(Bytes2StringTest, DecodesUtf16LittleEndianHexadecimal) {
    // Up to three trailing characters ignored, a pair read up to its first non-digit; to 255 the
    // Windows-1252 character, above the UTF-16 one (Жо); a surrogate pair even across a zero unit.
    const TextCase cases[] = {{"4100420", "A"},
                              {"4g00", "\x04"},
                              {"8000", "\xE2\x82\xAC"},
                              {"16043e04", "\xD0\x96\xD0\xBE"},
                              {"3dd8000000de", "\xF0\x9F\x98\x80"},
                              {"3dd84100", "\xEF\xBF\xBD\x41"}};
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(Bytes2String(input), expected) << input;
    }
}

TEST(GetXMLvalueTest, FindsTheFirstElementTextByPlainSearch) {
    const std::string xml =
        "<MessageAccount><SMTP_Server type=\"SZ\">smtp.example.org</SMTP_Server>"
        "<SMTP_User_Name/><Empty></Empty><Ref>a &amp; b</Ref></MessageAccount>";
    const TextCase cases[] = {
        {"SMTP_Server", "smtp.example.org"},  // attributes of the opening tag are passed over
        {"Empty", ""},                        // the closing tag right after the opening one
        {"Ref", "a & b"},                     // references decoded
        {"Server", "smtp.example.org"},       // a part of a longer name
        {"SMTP_User_Name", ""},               // self-closing: "<" right after ">"
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(GetXMLvalue(xml, input), expected) << input;
    }
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

}  // namespace
}  // namespace quillet
