// The mails one order event makes of the recipients' rules.
#include <gtest/gtest.h>

#include "mail/recipient_rules.h"

namespace quillet {
namespace {

TEST(RecipientRules, AnEventGoesToTheEntriesWhoseRuleTakesItOneMailPerForm) {
    const std::vector<std::string> send_to = {"broker@x.com", "Me <phone@sms.x.com>", "audit@x.com",
                                              "desk@x.com", "ops@x.com"};
    const std::map<std::string, std::string> rules = {
        {"Me <phone@sms.x.com>", "events=OrderFilled,OrderRejected,Alert; form=short"},
        {"audit@x.com", " accounts=ACC-*, B ; symbols=XYZ EUR?USD "},
        {"desk@x.com", "events=OrderPlaced,Bogus; form=long"},  // damaged: the default rule
        {"ops@x.com", "events=OrderCancelled,OrderExpired"},
    };
    const std::string broker = send_to[0], phone = send_to[1], audit = send_to[2],
                      desk = send_to[3], ops = send_to[4];
    struct Case {
        MailEvent event;
        std::optional<std::string> account, symbol;
        std::vector<RecipientGroup> groups;
    };
    const Case cases[] = {
        {MailEvent::kPlaced, "ACC-1", "XYZ", {{false, {broker, audit, desk}}}},
        {MailEvent::kFilled, "acc-1", "xyz", {{false, {broker, audit, desk}}, {true, {phone}}}},
        {MailEvent::kFilled, "ACC", "XYZ", {{false, {broker, desk}}, {true, {phone}}}},
        {MailEvent::kRejected,
         std::nullopt,
         std::nullopt,  // not told: no pattern keeps it out
         {{false, {broker, audit, desk}}, {true, {phone}}}},
        {MailEvent::kModified, "B", "GBPUSD", {{false, {broker, desk}}}},
        {MailEvent::kCancelled, "B", "EUR/USD", {{false, {broker, audit, desk, ops}}}},
        {MailEvent::kExpired, "C", std::nullopt, {{false, {broker, desk, ops}}}},
        // The program's reports: for all by default, as the rules choose them otherwise.
        {MailEvent::kAlert,
         std::nullopt,
         std::nullopt,
         {{false, {broker, audit, desk}}, {true, {phone}}}},
        {MailEvent::kSummary, std::nullopt, std::nullopt, {{false, {broker, audit, desk}}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RouteEvent(c.event, c.account, c.symbol, send_to, rules), c.groups)
            << MailEventName(c.event) << " " << c.account.value_or("-");
    }
    // Without rules, and with an unknown entry's rule, one full mail to all.
    EXPECT_EQ(RouteEvent(MailEvent::kFilled, "A", "X", send_to, {{"nobody@x.com", "form=short"}}),
              (std::vector<RecipientGroup>{{false, send_to}}));
    // What the settings file keeps reads back as the same rule; the default is kept as nothing.
    const std::string stored =
        "events=OrderFilled,OrderRejected; accounts=ACC-* B; symbols=XYZ; form=short";
    EXPECT_EQ(RuleText(ReadRule(stored)), stored);
    EXPECT_EQ(RuleText(ReadRule(rules.at(desk))), "");
    EXPECT_EQ(CutToCharacters("Kauf 100 \xc3\xa4", 10), "Kauf 100 \xc3\xa4");
    EXPECT_EQ(CutToCharacters("Kauf 100 \xc3\xa4x", 10), "Kauf 100 \xc3\xa4");
}

}  // namespace
}  // namespace quillet
