// One account as a desktop mail program keeps it, and the row of the account dialog it becomes.
#pragma once

#include <string>
#include <string_view>

#include "accounts/mail_account.h"

namespace quillet {

// How a mail program reaches its outgoing server.
enum class Security {
    Plain,     // no encryption
    Tls,       // TLS from the first byte
    StartTls,  // plain first, then STARTTLS
};

struct FoundAccount {
    std::string server;
    std::string port;  // as the program keeps it; empty when it keeps none
    Security security = Security::Plain;
    bool login = false;  // the server wants a user name and password
    std::string user;
    std::string email;
    std::string display_name;
    bool is_default = false;  // the program's default account
};

// The port text of a record: `port` as a plain decimal number when it is a whole number from 1
// to 65535 (leading zeros dropped); otherwise, and when it is empty, "465" for Tls, "587" for
// StartTls and empty text for Plain (which the dialog shows as 25 when it copies the account).
std::string FoundPortText(std::string_view port, Security security);

// Appends a record for `found`, labelled `program`, to `accounts`: Server, Email, UserName and
// DisplayName as they are; Port by FoundPortText; SecConn 1 for both kinds of TLS; ReqAuth 1 for
// a login; Default "*" for the default account. An account without a server (empty or all
// blanks) is left out, as every source leaves it out. Never fails.
void AppendFoundAccount(const FoundAccount& found, std::string_view program,
                        AccountTable& accounts);

}  // namespace quillet
