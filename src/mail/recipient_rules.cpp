#include "mail/recipient_rules.h"

#include <fnmatch.h>

#include <array>

#include "support/trim.h"
#include "support/utf8.h"

namespace quillet {
namespace {

constexpr std::array<std::string_view, kMailEventCount> kEventNames = {
    "OrderPlaced",   "OrderModified", "OrderCancelled", "OrderFilled",
    "OrderRejected", "OrderExpired",  "Alert",          "Summary"};

// The words of `text`, split at blanks and commas.
std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    size_t at = 0;
    while ((at = text.find_first_not_of(" \t,", at)) != std::string_view::npos) {
        const size_t end = std::min(text.find_first_of(" \t,", at), text.size());
        words.emplace_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

std::string Joined(const std::vector<std::string>& words, std::string_view between) {
    std::string out;
    for (const std::string& word : words) {
        out += (out.empty() ? "" : std::string(between)) + word;
    }
    return out;
}

// Whether `value` passes `patterns`: none given, a value not known, or one pattern matches.
bool Passes(const std::vector<std::string>& patterns, const std::optional<std::string>& value) {
    if (patterns.empty() || !value) {
        return true;
    }
    for (const std::string& pattern : patterns) {
        if (::fnmatch(pattern.c_str(), value->c_str(), FNM_CASEFOLD | FNM_NOESCAPE) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string_view MailEventName(MailEvent event) {
    return kEventNames[static_cast<size_t>(event)];
}

std::string RuleText(const RecipientRule& rule) {
    const RecipientRule all;
    std::vector<std::string> parts;
    if (rule.events != all.events) {
        std::vector<std::string> names;
        for (int i = 0; i < kMailEventCount; ++i) {
            if (rule.Takes(static_cast<MailEvent>(i))) {
                names.emplace_back(kEventNames[static_cast<size_t>(i)]);
            }
        }
        parts.push_back("events=" + Joined(names, ","));
    }
    if (!rule.accounts.empty()) {
        parts.push_back("accounts=" + Joined(rule.accounts, " "));
    }
    if (!rule.symbols.empty()) {
        parts.push_back("symbols=" + Joined(rule.symbols, " "));
    }
    if (rule.short_form) {
        parts.emplace_back("form=short");
    }
    return Joined(parts, "; ");
}

RecipientRule ReadRule(std::string_view text) {
    RecipientRule rule;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t end = std::min(text.find(';', at), text.size());
        const std::string_view part = TrimBlanks(text.substr(at, end - at));
        at = end + 1;
        const size_t equals = part.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view name = TrimBlanks(part.substr(0, equals));
        const std::string_view value = part.substr(equals + 1);
        if (name == "events") {
            uint32_t events = 0;
            bool known = true;
            for (const std::string& word : Words(value)) {
                size_t i = 0;
                while (i < kEventNames.size() && kEventNames[i] != word) {
                    ++i;
                }
                known = known && i < kEventNames.size();
                events |= known ? 1u << i : 0;
            }
            rule.events = known && events != 0 ? events : RecipientRule().events;
        } else if (name == "accounts") {
            rule.accounts = Words(value);
        } else if (name == "symbols") {
            rule.symbols = Words(value);
        } else if (name == "form") {
            rule.short_form = TrimBlanks(value) == "short";
        }
    }
    return rule;
}

std::vector<RecipientGroup> RouteEvent(MailEvent event, const std::optional<std::string>& account,
                                       const std::optional<std::string>& symbol,
                                       const std::vector<std::string>& send_to,
                                       const std::map<std::string, std::string>& rules) {
    RecipientGroup full{false, {}};
    RecipientGroup brief{true, {}};
    for (const std::string& entry : send_to) {
        const auto found = rules.find(entry);
        const RecipientRule rule = found == rules.end() ? RecipientRule() : ReadRule(found->second);
        if (rule.Takes(event) && Passes(rule.accounts, account) && Passes(rule.symbols, symbol)) {
            (rule.short_form ? brief : full).send_to.push_back(entry);
        }
    }
    std::vector<RecipientGroup> groups;
    for (RecipientGroup* group : {&full, &brief}) {
        if (!group->send_to.empty()) {
            groups.push_back(std::move(*group));
        }
    }
    return groups;
}

std::string CutToCharacters(std::string_view line, size_t most) {
    size_t bytes = 0;
    for (size_t characters = 0; characters < most && bytes < line.size(); ++characters) {
        bytes += std::max<size_t>(1, Utf8SequenceLength(line.substr(bytes)));
    }
    return std::string(line.substr(0, std::min(bytes, line.size())));
}

}  // namespace quillet
