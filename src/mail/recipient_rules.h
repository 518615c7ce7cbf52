// Which order mails each recipient gets, and in which form: the recipients' rules, and the
// mails one order event makes of them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The order events that make mails, as a rule names them, and the program's own reports: the
// alarm's alerts and the daily summary.
enum class MailEvent : uint8_t {
    kPlaced,
    kModified,
    kCancelled,
    kFilled,
    kRejected,
    kExpired,
    kAlert,
    kSummary
};
inline constexpr int kMailEventCount = 8;

// The events' names as the platform gives them: "OrderPlaced" ... "OrderExpired"; then "Alert"
// and "Summary".
std::string_view MailEventName(MailEvent event);

struct RecipientRule {
    // Which events it receives, one bit per MailEvent: all by default.
    uint32_t events = (1u << kMailEventCount) - 1;
    // Patterns of the accounts (Info6) and of the symbols it receives ('*' any run of
    // characters, '?' any one, case ignored); empty: every one.
    std::vector<std::string> accounts;
    std::vector<std::string> symbols;
    // The short form: the subject is the order line cut to 160 characters, and the text is empty
    // (for e-mail-to-SMS gateways); otherwise the full mail.
    bool short_form = false;

    bool Takes(MailEvent event) const { return (events >> static_cast<int>(event)) & 1u; }
    bool operator==(const RecipientRule&) const = default;
};

// The events of "Orders only" (placed, modified, cancelled and expired) and of "Fills and
// rejects only".
inline constexpr uint32_t kOrderEvents = 1u << 0 | 1u << 1 | 1u << 2 | 1u << 5;
inline constexpr uint32_t kFillAndRejectEvents = 1u << 3 | 1u << 4;

// The rule as the settings file keeps it: "" for the default rule (all events, every account
// and symbol, full form), else "events=OrderFilled,OrderRejected; accounts=A1 B*; symbols=XYZ;
// form=short" with only the parts that differ from the default.
std::string RuleText(const RecipientRule& rule);
// The rule of a stored text. Empty text, and any part that does not read (an unknown event or
// form, an unknown part), read as the default's, so that a damaged rule never withholds a mail.
RecipientRule ReadRule(std::string_view text);

// One mail of an order event: the recipient entries it goes to, and its form.
struct RecipientGroup {
    bool short_form = false;
    std::vector<std::string> send_to;  // entries as listed, in list order

    bool operator==(const RecipientGroup&) const = default;
};

// The mails `event` makes for the recipient entries `send_to` with their `rules` (entry -> rule
// text; an entry without one has the default rule): the entries whose rule takes the event, its
// account and its symbol, one mail per form (full first), blind copies each. An account or a
// symbol that is not known (none) is excluded by no pattern. Without any rule: one full mail to
// every entry, as if there were no rules at all; an event no entry takes makes no mail.
std::vector<RecipientGroup> RouteEvent(MailEvent event, const std::optional<std::string>& account,
                                       const std::optional<std::string>& symbol,
                                       const std::vector<std::string>& send_to,
                                       const std::map<std::string, std::string>& rules);

// `line` cut to at most `most` characters (UTF-8), whole characters only.
std::string CutToCharacters(std::string_view line, size_t most);

}  // namespace quillet
