// The mail-server presets of the setup dialog's template list.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

struct ServerTemplate {
    std::string TemplateName;  // the entry's caption
    std::string TemplateServer;
    std::string TemplatePort;
    int32_t TemplateSSL = 0;   // state for chkSSL
    int32_t TemplateAuth = 0;  // state for chkAuthRequired
    std::string TemplateAccount;
    std::string TemplatePassword;
    // The provider's limits, as the limit fields show them: messages a minute, recipients a day
    // ("" for none).
    std::string TemplatePerMinute = {};
    std::string TemplatePerDay = {};
};

// One preset as the program ships it; its account and password are empty.
struct ServerTemplateDefault {
    std::string_view name;
    std::string_view server;
    std::string_view port;
    int32_t ssl = 0;
    int32_t auth = 0;
    // The provider takes no password, only a token login (a token command, XOAUTH2).
    bool token_login = false;
    // The limits the provider publishes for an account: messages a minute, recipients a day;
    // "" where it publishes none.
    std::string_view per_minute = "";
    std::string_view per_day = "";
};

// The presets, template i at position i - 1: the six first ones, "Custom" (which has no
// server) the sixth, then those of the providers added since. Every one that logs in does so
// over TLS: from the first byte at 465, after STARTTLS at 587 (port 25 is blocked on many
// networks, and the providers refuse a login without encryption).
inline constexpr std::array<ServerTemplateDefault, 9> kServerTemplates{{
    {"GMail", "smtp.gmail.com", "465", 1, 1, false, "", "500"},
    {"Hotmail", "smtp-mail.outlook.com", "587", 1, 1},
    {"MSN Mail", "smtp-mail.outlook.com", "587", 1, 1},
    {"Yahoo! Mail", "smtp.mail.yahoo.com", "465", 1, 1},
    {"AOL Mail", "smtp.aol.com", "465", 1, 1},
    {"Custom", "", "25", 0, 0},
    {"Outlook.com / Microsoft 365", "smtp.office365.com", "587", 1, 1, true, "30", "10000"},
    {"iCloud Mail", "smtp.mail.me.com", "587", 1, 1, false, "", "1000"},
    {"Fastmail", "smtp.fastmail.com", "465", 1, 1},
}};

// TemplateCount: the number of templates.
inline constexpr int kTemplateCount = static_cast<int>(kServerTemplates.size());

// The number of the "Custom" template, the sixth.
inline constexpr int kCustomTemplate = 6;

// What the status line says when a token-login template is picked while no token command is
// named.
inline constexpr std::string_view kTokenLoginNeeded =
    "This provider takes a token login: name a token command below.";

// The number (1 to kTemplateCount) of the first template whose server equals `server`,
// ignoring letter case and without trimming; kCustomTemplate when none does. The loaded
// settings that a load puts into one template never change this answer: they go into the
// template that matches them, or into "Custom", which is the answer when nothing matches.
int MatchingTemplate(std::string_view server);

}  // namespace quillet
