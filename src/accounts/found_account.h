// One account as a desktop mail program keeps it, and the row of the account dialog it becomes.
#pragma once

#include <cstddef>
#include <cstdint>
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

// The texts are views into what the source has read, so that an account the source leaves out
// costs no copies.
struct FoundAccount {
    std::string_view server;
    std::string_view port;  // as the program keeps it; empty when it keeps none
    Security security = Security::Plain;
    bool login = false;  // the server wants a user name and password
    std::string_view user;
    std::string_view email;
    std::string_view display_name;
    bool is_default = false;  // the program's default account
    bool token_login = false;  // the login is with an access token (OAuth2), not a password
    std::string_view token_command;  // the command that prints the token, when one is named
};

// A source lists at most this many accounts, and an account with a text longer than
// kMaxFoundText (no server name, address or user name is) is left out, so that no file, however
// made, can fill the dialog with more than it can show.
inline constexpr int32_t kMaxAccountsPerSource = 1000;
inline constexpr size_t kMaxFoundText = 1024;

// The port text of a record: `port` as a plain decimal number when it is a whole number from 1
// to 65535 (leading zeros dropped); otherwise, and when it is empty, "465" for Tls, "587" for
// StartTls and empty text for Plain (which the dialog shows as 25 when it copies the account).
std::string FoundPortText(std::string_view port, Security security);

// The records of one source, labelled `program`, appended to `accounts`.
class FoundAccounts {
  public:
    FoundAccounts(std::string_view program, AccountTable& accounts)
        : program_(program), accounts_(accounts) {}

    // Appends a record for `found`: Server, Email, UserName and DisplayName as they are; Port by
    // FoundPortText; SecConn 1 for both kinds of TLS; ReqAuth 1 for a login; Default "*" for the
    // default account. An account without a server (empty or all blanks), as with every
    // source, or with a text longer than kMaxFoundText is left out. False once the source has
    // kMaxAccountsPerSource records: it stops there. Never fails.
    bool Append(const FoundAccount& found);

  private:
    std::string_view program_;
    AccountTable& accounts_;
    int32_t count_ = 0;
};

}  // namespace quillet
