// A large user.reg as Wine writes it, for the account-search benchmark: the keys of a prefix in
// long use (COM classes, Explorer's lists, Wine's own settings), with Outlook Express accounts
// among them.
#pragma once

#include <cstddef>
#include <string>

namespace quillet::bench {

struct UserRegShape {
    size_t target_bytes = 50'000'000;  // the file comes out a little over this
    int mail_accounts = 100;           // accounts with an SMTP server
    int directory_accounts = 20;       // accounts of the same key without one (LDAP services)
};

// The whole file. The same shape always gives the same text.
std::string GenerateUserReg(const UserRegShape& shape);

}  // namespace quillet::bench
