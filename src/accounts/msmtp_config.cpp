#include "accounts/msmtp_config.h"

#include <map>
#include <optional>

#include "support/trim.h"
#include "support/utf8.h"

namespace quillet {
namespace {

struct Parsed {
    MsmtpAccount settings;
    std::vector<std::string> bases;  // the bases it names that exist
    bool own_settings = false;
};

struct SettingName {
    std::string_view command;
    std::string MsmtpAccount::*member;
};

constexpr SettingName kSettings[] = {
    {"host", &MsmtpAccount::host},
    {"port", &MsmtpAccount::port},
    {"from", &MsmtpAccount::from},
    {"user", &MsmtpAccount::user},
    {"auth", &MsmtpAccount::auth},
    {"tls", &MsmtpAccount::tls},
    {"tls_starttls", &MsmtpAccount::tls_starttls},
    {"passwordeval", &MsmtpAccount::passwordeval},
};

// The setting that `command` names; null for commands not read.
std::string MsmtpAccount::*Setting(std::string_view command) {
    for (const SettingName& setting : kSettings) {
        if (setting.command == command) {
            return setting.member;
        }
    }
    return nullptr;
}

// Every setting that `base` has over those of `account`.
void Inherit(MsmtpAccount& account, const MsmtpAccount& base) {
    for (const SettingName& setting : kSettings) {
        if (!(base.*setting.member).empty()) {
            account.*setting.member = base.*setting.member;
        }
    }
}

// The argument as written: without its double quotes and their escapes; none when a quote is
// left open.
std::optional<std::string> Argument(std::string_view text) {
    if (!text.starts_with('"')) {
        return std::string(text);
    }
    std::string out;
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            return i + 1 == text.size() ? std::optional<std::string>(out) : std::nullopt;
        }
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
        }
        out.push_back(text[i]);
    }
    return std::nullopt;
}

}  // namespace

std::vector<MsmtpAccount> ReadMsmtpConfig(std::string_view bytes) {
    const std::string text = MendUtf8(bytes);
    MsmtpAccount defaults;
    std::vector<Parsed> parsed;
    std::map<std::string, size_t, std::less<>> by_name;
    MsmtpAccount* target = nullptr;
    bool* own = nullptr;
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = TrimOf(rest.substr(0, end), " \t\r");
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const size_t blank = line.find_first_of(" \t");
        const std::string_view command = line.substr(0, blank);
        const std::string_view argument =
            blank == std::string_view::npos ? std::string_view() : TrimBlanks(line.substr(blank));
        if (command == "defaults") {
            target = &defaults;
            own = nullptr;
            continue;
        }
        if (command == "account") {
            target = nullptr;
            const size_t colon = argument.find(':');
            const std::string_view name = TrimBlanks(argument.substr(0, colon));
            if (name.empty() || parsed.size() >= kMaxMsmtpAccounts) {
                continue;
            }
            Parsed account{defaults, {}, false};
            account.settings.name = std::string(name);
            std::string_view bases =
                colon == std::string_view::npos ? std::string_view() : argument.substr(colon + 1);
            while (!bases.empty()) {
                const size_t comma = bases.find(',');
                const std::string_view base = TrimBlanks(bases.substr(0, comma));
                bases =
                    comma == std::string_view::npos ? std::string_view() : bases.substr(comma + 1);
                if (const auto found = by_name.find(base); found != by_name.end()) {
                    Inherit(account.settings, parsed[found->second].settings);
                    account.bases.emplace_back(base);
                }
            }
            by_name[account.settings.name] = parsed.size();
            parsed.push_back(std::move(account));
            target = &parsed.back().settings;
            own = &parsed.back().own_settings;
            continue;
        }
        std::string MsmtpAccount::*const setting = Setting(command);
        if (target == nullptr || setting == nullptr) {
            continue;
        }
        const bool is_switch = command == "auth" || command == "tls" || command == "tls_starttls";
        if (const auto value = Argument(argument); value && value->size() <= kMaxMsmtpSetting) {
            target->*setting = value->empty() && is_switch ? "on" : *value;
            if (own != nullptr) {
                *own = true;
            }
        }
    }

    std::vector<MsmtpAccount> accounts;
    std::string alias_of;  // the base that "account default" only renames
    for (const Parsed& account : parsed) {
        if (account.settings.name == "default" && account.bases.size() == 1 &&
            !account.own_settings) {
            alias_of = account.bases.front();
        }
    }
    for (const Parsed& account : parsed) {
        const std::string& name = account.settings.name;
        if (name == "default" && !alias_of.empty()) {
            continue;
        }
        accounts.push_back(account.settings);
        accounts.back().is_default = alias_of.empty() ? name == "default" : name == alias_of;
    }
    return accounts;
}

}  // namespace quillet
