// The accounts of an msmtp configuration file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One account with the settings it ends up with. A setting the file leaves unset is empty;
// "on" and "off" are kept as written, and a switch given without an argument ("auth",
// "tls") reads "on".
struct MsmtpAccount {
    std::string name;
    std::string host;
    std::string port;
    std::string from;
    std::string user;
    std::string auth;  // "on", "off" or a method name
    std::string tls;
    std::string tls_starttls;
    std::string passwordeval;  // the command line that prints the password (or the token)
    bool is_default = false;  // the account that "account default" is or names

    bool operator==(const MsmtpAccount&) const = default;
};

// Bounds that keep a file made to inherit one long setting many times over from making the
// reader crawl: accounts after the first kMaxMsmtpAccounts, and settings longer than
// kMaxMsmtpSetting bytes, are passed over.
inline constexpr size_t kMaxMsmtpAccounts = 1000;
inline constexpr size_t kMaxMsmtpSetting = 1024;

// The accounts of `text` in file order. A line holds a command and its argument, which may be
// in double quotes (with \" and \\ inside); blank lines and lines beginning with "#" are
// comments. "defaults" starts settings that every later account begins with; "account NAME"
// starts an account, and "account NAME : BASE[, BASE...]" one that also takes every setting of
// the earlier accounts named, in that order, over the defaults. The settings read are host,
// port, from, user, auth, tls, tls_starttls and passwordeval; others are passed over, as are settings before
// the first "defaults" or "account", an "account" line without a name, the settings after it,
// and bases that are not defined earlier. The account named "default" is the default; when it
// only names one base ("account default : work") and sets nothing of its own, it is that base
// under another name: the base is marked default and "default" is not listed again. An account
// defined twice is listed twice, and a later "account NAME : BASE" uses the later definition.
// Never fails; the time taken grows in step with the text.
std::vector<MsmtpAccount> ReadMsmtpConfig(std::string_view text);

}  // namespace quillet
