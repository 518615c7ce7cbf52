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

struct TextCase {
    std::string input;
    std::string expected;
};

TEST(Bytes2StringTest, DecodesUtf16LittleEndianHexadecimal) {
    const TextCase cases[] = {
        {"", ""},
        {"410", ""},
        {"41004200", "AB"},
        {"410042000000", "AB"},         // the terminating zero unit is dropped
        {"4100420", "A"},               // up to three trailing characters are ignored
        {"4F0075007400000000", "Out"},  // and a stray zero byte after the terminator
        {"41000000420000", "AB"},       // every zero unit goes, not only the last
        {"4g00", "\x04"},               // a pair is read up to its first non-digit
        {"g400", ""},                   // a pair that begins with one reads as 0
        {"e900", "\xC3\xA9"},           // up to 255: the Windows-1252 character
        {"8000", "\xE2\x82\xAC"},
        {"31000000", "1"},
        {"01000000", "\x01"},
        {"16043e04", "\xD0\x96\xD0\xBE"},  // above 255: the UTF-16 character (Жо)
        {"3dd800de", "\xF0\x9F\x98\x80"},  // a surrogate pair is one character
        {"3dd80000"
         "00de",
         "\xF0\x9F\x98\x80"},  // also across a dropped zero unit
        {"3dd84100",
         "\xEF\xBF\xBD"
         "A"},  // a lone surrogate
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(Bytes2String(c.input), c.expected) << c.input;
    }
}

TEST(GetXMLvalueTest, FindsTheFirstElementTextByPlainSearch) {
    const std::string xml =
        "<MessageAccount><SMTP_Server type=\"SZ\">smtp.example.org</SMTP_Server>"
        "<smtp_port type=\"DWORD\">00000019</smtp_port><SMTP_User_Name/>"
        "<Empty></Empty><Ref>a &amp; b</Ref></MessageAccount>";
    const TextCase cases[] = {
        {"SMTP_Server", "smtp.example.org"},  // attributes of the opening tag are passed over
        {"Empty", ""},                        // the closing tag right after the opening one
        {"Ref", "a & b"},                     // references decoded
        {"Server", "smtp.example.org"},       // a part of a longer name
        {"AMP", ""},  // inside text: "example" comes first, and "<" follows its ">" at once
        {"SZ", "smtp.example.org"},  // or of an attribute
        {"POP3_User_Name", ""},      // not there
        {"SMTP_User_Name", ""},      // self-closing: "<" right after ">"
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(GetXMLvalue(xml, c.input), c.expected) << c.input;
    }
    EXPECT_EQ(GetXMLvalue("<Key>no close", "Key"), "");
    EXPECT_EQ(GetXMLvalue("Key without tags", "Key"), "");
}

TEST(DecodeXmlReferencesTest, KnownReferencesOnlyInOnePass) {
    const TextCase cases[] = {
        {"Anna &amp; Co &lt;&gt;&quot;&apos;", "Anna & Co <>\"'"},
        {"&#229;&#xE5;&#x1F600;&#00065;",
         "\xC3\xA5\xC3\xA5\xF0\x9F\x98\x80"
         "A"},
        {"&amp;lt; &amp", "&lt; &amp"},  // one pass; no ";"
        {"&nbsp; &AMP; &#; &#x; &#XE5; &#12a; & x;", "&nbsp; &AMP; &#; &#x; &#XE5; &#12a; & x;"},
        {"&#0; &#xD800; &#x110000; &#xFFFE; &#99999999999999999999;",
         "&#0; &#xD800; &#x110000; &#xFFFE; &#99999999999999999999;"},  // not characters
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(DecodeXmlReferences(c.input), c.expected) << c.input;
    }
}

TEST(AccountFlagTest, SetWhenTheLeadingNumberIsPositive) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"1", 1}, {"2", 1}, {"00000001", 1}, {" 1", 1}, {"0.5", 1}, {"1 (yes)", 1},
        {"0", 0}, {"", 0},  {"00000000", 0}, {"-1", 0}, {"yes", 0}, {"\x01", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AccountFlag(c.text), c.expected) << c.text;
    }
}

TEST(HexPortTextTest, HexadecimalToDecimalDigits) {
    const TextCase cases[] = {
        {"00000019", "25"},         {"0000024b", "587"},
        {"0000024B", "587"},        {"1d1", "465"},
        {"19 junk", "25"},          {"x19", "0"},
        {"ffffffff", "4294967295"}, {"ffffffffffffffffff", "18446744073709551615"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(HexPortText(c.input), c.expected) << c.input;
    }
}

// UTF-16 big-endian with its byte-order mark; little-endian files are in account_search_test.
std::string Utf16BigEndian(const std::u16string& text) {
    std::string bytes = "\xFE\xFF";
    for (char16_t unit : text) {
        bytes += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    return bytes;
}

TEST(AccountFileTextTest, DecodesByByteOrderMarkAndJoinsLines) {
    const std::string joined = "<a>Zo\xC3\xAB</a><b>\xE2\x82\xAC</b>";
    const TextCase cases[] = {
        {"<a>Zo\xEB</a>\r<b>\x80</b>\r\n", joined},  // Windows-1252; a bare CR ends a line too
        {Utf16BigEndian(u"<a>Zo\u00EB</a>\r\n<b>\u20AC</b>"), joined},
        {"a\nb\r\n", "a\nb"},                  // a bare LF stays
        {"\xEF\xBB\xBF\xFF", "\xEF\xBF\xBD"},  // malformed UTF-8
        {"", ""},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(AccountFileText(c.input), c.expected) << c.input;
    }
}

}  // namespace
}  // namespace quillet
