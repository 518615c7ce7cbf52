#include "accounts/found_account.h"

#include "support/trim.h"

namespace quillet {

std::string FoundPortText(std::string_view port, Security security) {
    constexpr unsigned kMaxPort = 65535;
    unsigned value = 0;
    bool digits = !port.empty();
    for (char c : port) {
        if (c < '0' || c > '9') {
            digits = false;
            break;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > kMaxPort) {
            digits = false;
            break;
        }
    }
    if (digits && value > 0) {
        return std::to_string(value);
    }
    switch (security) {
        case Security::Tls:
            return "465";
        case Security::StartTls:
            return "587";
        case Security::Plain:
            break;
    }
    return {};
}

bool FoundAccounts::Append(const FoundAccount& found) {
    if (count_ >= kMaxAccountsPerSource) {
        return false;
    }
    for (std::string_view text :
         {found.server, found.port, found.user, found.email, found.display_name,
          found.token_command}) {
        if (text.size() > kMaxFoundText) {
            return true;
        }
    }
    if (TrimBlanks(found.server).empty()) {
        return true;
    }
    MailAccount& account = accounts_.Append();
    account.Server = found.server;
    account.Port = FoundPortText(found.port, found.security);
    account.UserName = found.user;
    account.ReqAuth = found.login ? 1 : 0;
    account.Email = found.email;
    if (found.is_default) {
        account.Default.push_back('*');  // the record is new, so this gives "*"
    }
    account.SecConn = found.security == Security::Plain ? 0 : 1;
    account.Program = program_;
    account.DisplayName = found.display_name;
    account.TokenLogin = found.token_login ? 1 : 0;
    account.TokenCommand = found.token_command;
    return ++count_ < kMaxAccountsPerSource;
}

}  // namespace quillet
