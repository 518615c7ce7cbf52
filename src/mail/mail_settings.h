// The live mail settings as one plain value, taken from the setup dialog at the moment of use.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quillet {

struct MailSettings {
    std::string display_name;  // the sender's name
    std::string email;         // the sender's address
    std::string server;        // the outgoing (SMTP) server, as typed
    std::string port;          // as typed; read as a number only when mailing
    int16_t ssl = 0;           // check state: 0 cleared, 1 checked, 2 grayed; not 0 is on
    int16_t auth_required = 0;
    std::string account_name;
    std::string password;
    std::vector<std::string> send_to;  // the recipients, one entry each, in list order
    // Not blank: the login uses the access token this command line prints (XOAUTH2), and the
    // password is not needed.
    std::string token_command = {};
    // The account's limits, as its provider sets them: messages a minute, and recipients a local
    // day; 0: none. Mails beyond them wait in the outbox.
    int32_t per_minute = 0;
    int32_t per_day = 0;
    // Order mails that waited go together: the due ones that follow the first, to the same
    // recipients, as one mail of their lines (at most 100). Off: one mail per order, always.
    bool merge_waiting = false;
    // The recipients' rules (RecipientRule as RuleText), by entry as listed; an entry without one
    // gets every order mail in the full form.
    std::map<std::string, std::string> rules = {};

    bool operator==(const MailSettings&) const = default;
};

}  // namespace quillet
