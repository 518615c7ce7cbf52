#include "accounts/thunderbird_accounts.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "accounts/desktop_folders.h"
#include "accounts/found_account.h"
#include "accounts/key_file.h"
#include "accounts/user_prefs.h"
#include "accounts/windows_mail_accounts.h"

namespace quillet {
namespace {

constexpr const char* kProgram = "Thunderbird";

class Prefs {
  public:
    explicit Prefs(UserPrefs prefs) : prefs_(std::move(prefs)) {}

    const std::string& Get(const std::string& name) const {
        const auto found = prefs_.find(name);
        return found == prefs_.end() ? empty_ : found->second;
    }

  private:
    UserPrefs prefs_;
    std::string empty_;
};

Security SecurityOf(const std::string& try_ssl) {
    if (try_ssl == "3") {
        return Security::Tls;
    }
    return try_ssl == "1" || try_ssl == "2" ? Security::StartTls : Security::Plain;
}

// An outgoing server's settings, as a record takes them; the texts are views into the prefs.
struct SmtpServer {
    std::string_view hostname;
    std::string_view port;
    std::string_view username;
    Security security = Security::Plain;
    bool login = true;
    bool oauth = false;  // authMethod 10: OAuth2
};

// The SMTP servers of mail.smtpservers by key, each read once, so that many identities on one
// server cost no more than a few.
std::map<std::string, SmtpServer, std::less<>> SmtpServers(const Prefs& prefs) {
    std::map<std::string, SmtpServer, std::less<>> servers;
    for (std::string& key : PrefList(prefs.Get("mail.smtpservers"))) {
        const std::string server = "mail.smtpserver." + key + ".";
        const std::string& type = prefs.Get(server + "type");
        if (servers.contains(key) || (!type.empty() && type != "smtp")) {
            continue;
        }
        servers.emplace(
            std::move(key),
            SmtpServer{prefs.Get(server + "hostname"), prefs.Get(server + "port"),
                       prefs.Get(server + "username"), SecurityOf(prefs.Get(server + "try_ssl")),
                       prefs.Get(server + "authMethod") != "1",
                       prefs.Get(server + "authMethod") == "10"});
    }
    return servers;
}

// False once the source has its fill.
bool AppendProfileAccounts(const Prefs& prefs, FoundAccounts& accounts) {
    const auto servers = SmtpServers(prefs);
    const auto server_of = [&servers](std::string_view key) -> const SmtpServer* {
        const auto found = servers.find(key);
        return found == servers.end() ? nullptr : &found->second;
    };
    // Without mail.smtp.defaultserver, the first server in the list.
    const std::string& default_key = prefs.Get("mail.smtp.defaultserver");
    const auto keys = PrefList(prefs.Get("mail.smtpservers"));
    const SmtpServer* default_server =
        server_of(!default_key.empty() ? std::string_view(default_key)
                  : keys.empty()       ? std::string_view()
                                       : std::string_view(keys.front()));
    const std::string& default_account = prefs.Get("mail.accountmanager.defaultaccount");
    std::set<std::string> seen;
    for (const std::string& account : PrefList(prefs.Get("mail.accountmanager.accounts"))) {
        const bool is_default_account = account == default_account;
        const auto identities = PrefList(prefs.Get("mail.account." + account + ".identities"));
        for (size_t i = 0; i < identities.size(); ++i) {
            if (!seen.insert(identities[i]).second) {
                continue;
            }
            const std::string identity = "mail.identity." + identities[i] + ".";
            const std::string& key = prefs.Get(identity + "smtpServer");
            const SmtpServer* server = key.empty() ? default_server : server_of(key);
            if (server == nullptr) {
                continue;
            }
            FoundAccount found;
            found.server = server->hostname;
            found.port = server->port;
            found.security = server->security;
            found.login = server->login;
            found.token_login = server->oauth;
            found.user = server->username;
            found.email = prefs.Get(identity + "useremail");
            found.display_name = prefs.Get(identity + "fullName");
            found.is_default = i == 0 && is_default_account;
            if (!accounts.Append(found)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

void GetThunderbirdAccounts(const AccountEnvironment& environment, const FileListing& files,
                            AccountTable& accounts) {
    if (environment.home.empty()) {
        return;
    }
    FoundAccounts found(kProgram, accounts);
    std::set<std::string> read;
    for (const char* folder : {".thunderbird", ".var/app/org.mozilla.Thunderbird/.thunderbird",
                               "snap/thunderbird/common/.thunderbird"}) {
        const std::string root = JoinPath(environment.home, folder);
        const auto ini = files.ReadFile(JoinPath(root, "profiles.ini"), kMaxAccountFileBytes);
        if (!ini) {
            continue;
        }
        const KeyFile profiles = KeyFile::Parse(*ini);
        for (const std::string& group : profiles.Groups()) {
            const std::string path = profiles.Value(group, "Path");
            if (!group.starts_with("Profile") || path.empty()) {
                continue;
            }
            const std::string profile =
                NormalPath(path.starts_with('/') ? path : JoinPath(root, path));
            if (read.size() >= kMaxThunderbirdProfiles || !read.insert(profile).second) {
                continue;
            }
            if (const auto prefs =
                    files.ReadFile(JoinPath(profile, "prefs.js"), kMaxAccountFileBytes)) {
                if (!AppendProfileAccounts(Prefs(ReadUserPrefs(*prefs)), found)) {
                    return;
                }
            }
        }
    }
}

}  // namespace quillet
