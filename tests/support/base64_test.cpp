#include "support/base64.h"

#include <gtest/gtest.h>

#include <string>

#include "support/ansi_code_page.h"

namespace quillet {
namespace {

struct Vector {
    std::string text;
    std::string standard;
    std::string stored;
};

TEST(Base64Test, EncodesAndStoresTheKnownVectors) {
    const Vector vectors[] = {
        {"", "", ""},
        {"abc", "YWJj", "YWJj"},
        {"ab", "YWI=", "YWI$"},
        {"a", "YQ==", "YQ$$"},
        {"25", "MjU=", "MjU$"},
        {"txtPort", "dHh0UG9ydA==", "dHh0UG9ydA$$"},
        {"lstSendTo.ListCount", "bHN0U2VuZFRvLkxpc3RDb3VudA==", "bHN0U2VuZFRvLkxpc3RDb3VudA$$"},
        {"chkAuthRequired", "Y2hrQXV0aFJlcXVpcmVk", "Y2hrQXV0aFJlcXVpcmVk"},
        {"File1", "RmlsZTE=", "RmlsZTE$"},
        {"é€", "6YA=", "6YA$"},  // Windows-1252 bytes E9 80
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(Base64Encode(v.text), v.standard) << v.text;
        EXPECT_EQ(Base64EncodeForINI(v.text), v.stored) << v.text;
        EXPECT_EQ(Base64Decode(v.standard), v.text) << v.text;
        EXPECT_EQ(Base64DecodeFromINI(v.stored), v.text) << v.text;
    }
}

TEST(Base64Test, LongTextIsOneUnbrokenLine) {
    const std::string encoded = Base64Encode(std::string(1000, 'x'));
    EXPECT_EQ(encoded.size(), 1336u);
    EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64Test, DecodingIsLenientAndNeverFails) {
    struct Case {
        std::string encoded;
        std::string text;
    };
    const Case cases[] = {
        {"YWI", "ab"},        // short last group filled with zeros
        {"YWJ", "ab@"},       // ... whose zeros still count
        {"====", ""},         // all padding: zero bytes vanish
        {"AAAA", ""},         // encoded zero bytes vanish
        {"YQ==YWI=", "aab"},  // padding in the middle is just zeros
        {"-1", "\x03P"},      // "-" counts as 0
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Base64Decode(c.encoded), c.text) << c.encoded;
    }
    // A blank counts as 0 and keeps its place: "YW J" gives 61 60 09, "j" alone gives 8C.
    EXPECT_EQ(Utf8ToAnsi(Base64Decode("YW Jj")), "a`\t\x8C");
}

TEST(Base64Test, ZeroCharacterAndUnmappableCharacterDoNotComeBack) {
    EXPECT_EQ(Base64Decode(Base64Encode(std::string("a\0b", 3))), "ab");
    EXPECT_EQ(Base64Decode(Base64Encode("日本")), "??");
}

TEST(AnsiCodePageTest, RoundTripsEveryByte) {
    std::string bytes;
    for (int b = 1; b < 256; ++b) {
        bytes += static_cast<char>(b);
    }
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(bytes)), bytes);
    EXPECT_EQ(AnsiToUtf8("\x80\x9F\xE9"), "€Ÿé");
    EXPECT_EQ(Utf8ToAnsi("€ \xC3"), "\x80 ?");
}

}  // namespace
}  // namespace quillet
