#include "mail/mail_message.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "mail/mailbox_address.h"
#include "mail/send_plain_text_mail.h"
#include "mail/server_name.h"
#include "mail/settings_check.h"
#include "support/recording_transport.h"

namespace quillet {
namespace {

// The first line of a header's value, empty when the message has none.
std::string Header(const std::string& message, const std::string& name) {
    const std::string head = "\r\n" + message.substr(0, message.find("\r\n\r\n") + 2);
    std::smatch found;
    return std::regex_search(head, found, std::regex("\r\n" + name + ": ([^\r]*)")) ? found[1].str()
                                                                                    : "";
}

// Whether a line of `text` is longer than `limit`.
bool LongerLine(const std::string& text, int limit) {
    return std::regex_search(text, std::regex("[^\r\n]{" + std::to_string(limit + 1) + "}"));
}

std::string Build(const MailContent& content) {
    return BuildMessage(content, std::chrono::system_clock::from_time_t(0), "<id@example.com>");
}

TEST(BuildMessageTest, NoVisibleRecipientAndNameAndSubjectCannotAddHeaders) {
    const std::string m = Build({"Order Desk", "desk@example.com", "CVT order # 77", "line"});
    EXPECT_EQ(Header(m, "From"), "Order Desk <desk@example.com>");
    EXPECT_EQ(Header(m, "Subject"), "CVT order # 77");
    EXPECT_EQ(Header(m, "To"), "undisclosed-recipients:;");
    EXPECT_FALSE(std::regex_search(m, std::regex("\r\n(Cc|Bcc):"))) << m;
    const std::pair<const char*, const char*> names[] = {
        {"Desk, Inc.", "\"Desk, Inc.\" <desk@example.com>"},
        {"Say \"hi\"", "\"Say \\\"hi\\\"\" <desk@example.com>"},
        {"Desk\r\nBcc: evil@x", "\"Desk  Bcc: evil@x\" <desk@example.com>"},
        {"Jürgen", "=?UTF-8?B?SsO8cmdlbg==?= <desk@example.com>"},
    };
    for (const auto& [name, from] : names) {
        EXPECT_EQ(Header(Build({name, "desk@example.com", "s", "b"}), "From"), from);
    }
    const std::string evil = Build({"n", "a@b", "CVT order # 1\r\nBcc: evil@example.com", "b"});
    EXPECT_EQ(Header(evil, "Subject"), "CVT order # 1  Bcc: evil@example.com");
    EXPECT_EQ(Header(evil, "Bcc"), "");
}

TEST(BuildMessageTest, NonAsciiSubjectIsEncodedInShortWords) {
    const std::string subject = "Ordre n° 77 – " + std::string(60, 'x') + " €";
    const std::string m = Build({"n", "a@b", subject, "b"});
    const std::string header = Header(m, "Subject");
    EXPECT_EQ(header.rfind("=?UTF-8?B?", 0), 0u) << header;
    EXPECT_FALSE(LongerLine(m.substr(0, m.find("\r\n\r\n")), 78)) << m;
}

TEST(BuildMessageTest, BodyLineEndsBecomeCrlfAndNonAsciiOrLongIsQuotedPrintable) {
    const std::string plain = Build({"n", "a@b", "s", "one\n.two\r\nthree\rfour"});
    EXPECT_EQ(Header(plain, "Content-Transfer-Encoding"), "7bit");
    EXPECT_TRUE(plain.ends_with("\r\n\r\none\r\n.two\r\nthree\r\nfour\r\n"));  // dots stay
    const std::pair<std::string, std::string> bodies[] = {
        {"Prix: 12,5 € – achat", "Prix: 12,5 =E2=82=AC =E2=80=93 achat\r\n"},
        {"broken \xC3 utf8", "broken =EF=BF=BD utf8\r\n"},
        {std::string(2000, 'a'), std::string(2000, 'a') + "\r\n"},  // less the soft breaks
    };
    for (const auto& [body, expected] : bodies) {
        const std::string m = Build({"n", "a@b", "s", body});
        EXPECT_EQ(Header(m, "Content-Transfer-Encoding"), "quoted-printable") << body;
        const std::string encoded = m.substr(m.find("\r\n\r\n") + 4);
        EXPECT_FALSE(LongerLine(encoded, 76)) << encoded;
        EXPECT_EQ(std::regex_replace(encoded, std::regex("=\r\n"), ""), expected);  // soft breaks
    }
}

TEST(AddressTest, EnvelopeAddressesComeBareAndMessageIdsFromTheSenderDomain) {
    EXPECT_EQ(EnvelopeAddress("  bob@example.com "), "bob@example.com");  // a name: SetupFormTest
    EXPECT_EQ(SplitAddressList("a@x.com,\"Doe, Bee\" <b@x.com> , ,\"c,d\"@x.com,"),
              (std::vector<std::string>{"a@x.com", "b@x.com", "\"c,d\"@x.com"}));
    const std::string a = NewMessageId("Desk <desk@example.com>");
    EXPECT_EQ(a.substr(a.find('@')), "@example.com>");
    const std::string odd = NewMessageId("desk@exa mple>");
    EXPECT_EQ(odd.substr(odd.find('@')), "@quillet.localdomain>");
}

TEST(SendPlainTextMailTest, ChoosesTheSecurityAndRefusesUnsafeInputBeforeTheNetwork) {
    struct Case {
        std::function<void(SendRequest&)> change;
        SendFailure failure;  // kNone: delivered with `security`
        SmtpSecurity security = SmtpSecurity::Plain;
    };
    const Case cases[] = {
        {[](SendRequest& r) { r.ssl = true, r.port = 465; }, SendFailure::kNone,
         SmtpSecurity::ImplicitTls},
        {[](SendRequest& r) { r.ssl = true; }, SendFailure::kNone, SmtpSecurity::StartTls},
        {[](SendRequest& r) { r.bcc = "a@example.com\r\nRCPT TO:<evil@x.com>"; },
         SendFailure::kUnsafeText},
        {[](SendRequest& r) { r.password = std::string("p\0w", 3); }, SendFailure::kUnsafeText},
        {[](SendRequest& r) { r.bcc = " , "; }, SendFailure::kNoRecipient},
        {[](SendRequest& r) { r.port = 65536; }, SendFailure::kBadPort},
        {[](SendRequest& r) { r.server = "evil.com/x?y"; }, SendFailure::kBadServer},
        // A password never travels unencrypted, but to this machine.
        {[](SendRequest&) {}, SendFailure::kLoginInClear},
        {[](SendRequest& r) { r.server = "127.0.0.1"; }, SendFailure::kNone, SmtpSecurity::Plain},
        {[](SendRequest& r) { r.server = "127.255.255.254"; }, SendFailure::kNone,
         SmtpSecurity::Plain},
        {[](SendRequest& r) { r.server = "128.0.0.1"; }, SendFailure::kLoginInClear},
        {[](SendRequest& r) { r.server = "LocalHost"; }, SendFailure::kNone, SmtpSecurity::Plain},
        {[](SendRequest& r) { r.server = "localhost.example"; }, SendFailure::kLoginInClear},
        {[](SendRequest& r) { r.server = "localhos"; }, SendFailure::kLoginInClear},
        {[](SendRequest& r) { r.server = "::1"; }, SendFailure::kNone, SmtpSecurity::Plain},
        {[](SendRequest& r) { r.server = "[::1]"; }, SendFailure::kNone, SmtpSecurity::Plain},
        {[](SendRequest& r) { r.server = "::2"; }, SendFailure::kLoginInClear},
        {[](SendRequest& r) { r.sender_address = " <> "; }, SendFailure::kNoSenderAddress},
        {[](SendRequest& r) { r.bcc = "b@example.com, x@example.com> NOTIFY=NEVER"; },
         SendFailure::kBadAddress},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        test::RecordingTransport transport;
        SendRequest request{
            "mail.example.com", 587, true, "user", "pw", false, "Desk", "desk@example.com",
            "a@example.com",    "s", "b"};
        cases[i].change(request);
        const SendFailure failure = SendPlainTextMail(transport, request).failure;
        EXPECT_EQ(failure, cases[i].failure) << i;
        if (cases[i].failure == SendFailure::kNone) {
            ASSERT_EQ(transport.deliveries.size(), 1u) << i;
            EXPECT_EQ(transport.deliveries[0].security, cases[i].security) << i;
        } else {
            EXPECT_TRUE(transport.deliveries.empty()) << i;
        }
    }
}

// Only what SMTP can carry as one envelope address passes: nothing that would add a parameter
// to MAIL or RCPT, or a command.
TEST(MailboxAddressTest, OnlyWhatTheEnvelopeCanCarryPasses) {
    const std::pair<std::string_view, bool> cases[] = {
        {"desk@example.com", true},
        {"o'brien+orders@mail-1.example.co.uk", true},
        {"\"desk 1\"@example.com", true},
        {"\"a\\\"b@c\"@example.com", true},
        {"user@[192.0.2.1]", true},
        {"h\xc3\xa4ndler@b\xc3\xb6rse.example", true},
        {"desk@example.com> RET=HDRS ENVID=x", false},
        {"x@example.com> NOTIFY=NEVER ORCPT=rfc822;x@example.com", false},
        {"desk @example.com", false},
        {"desk@example.com\r\nRSET", false},
        {"<desk@example.com>", false},
        {"desk.@example.com", false},
        {"de..sk@example.com", false},
        {"desk@-example.com", false},
        {"desk@example..com", false},
        {"\"desk\"x@example.com", false},
        {"\"desk\\\"@example.com", false},
        {"desk@[192.0.2.1] SIZE=1", false},
        {"@example.com", false},
        {"desk", false},
        {std::string_view("desk\0@example.com", 17), false},
    };
    for (const auto& [address, passes] : cases) {
        EXPECT_EQ(IsMailboxAddress(address), passes) << address;
    }
    EXPECT_TRUE(IsMailboxAddress(std::string(64, 'a') + "@example.com"));
    EXPECT_FALSE(IsMailboxAddress(std::string(65, 'a') + "@example.com"));
}

// The settings check and the transport use this one rule, so a name that passes the check can
// be sent to, and one that cannot fails the check at once.
TEST(ServerNameTest, NamesAndAddressesPassAndAPortOrAUrlPartDoesNot) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {" mail.example.com\t", "mail.example.com"},
        {"[::1]", "::1"},
        {"fe80::1%eth0", "fe80::1%eth0"},
        {"10.0.0.1", "10.0.0.1"},
        {"mail.example.com:587", std::nullopt},
        {"[::1]:25", std::nullopt},
        {"[mail.example.com]", std::nullopt},
        {"evil.com/x", std::nullopt},
        {"fe80::1%", std::nullopt},
        {"  ", std::nullopt},
    };
    for (const auto& [typed, host] : cases) {
        EXPECT_EQ(UsableServerHost(typed), host) << typed;
        MailSettings settings{"Desk", "d@x.com", typed, "25", 0, 0, "", "", {"b@x.com"}};
        EXPECT_EQ(CheckMailSettings(settings).ok(), host.has_value()) << typed;
    }
}

}  // namespace
}  // namespace quillet
