#include "accounts/thunderbird_accounts.h"

#include <algorithm>
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

    std::string Get(const std::string& name) const {
        const auto found = prefs_.find(name);
        return found == prefs_.end() ? std::string() : found->second;
    }

  private:
    UserPrefs prefs_;
};

Security SecurityOf(const std::string& try_ssl) {
    if (try_ssl == "3") {
        return Security::Tls;
    }
    return try_ssl == "1" || try_ssl == "2" ? Security::StartTls : Security::Plain;
}

void AppendProfileAccounts(const Prefs& prefs, AccountTable& accounts) {
    std::vector<std::string> servers;
    for (std::string& key : PrefList(prefs.Get("mail.smtpservers"))) {
        const std::string type = prefs.Get("mail.smtpserver." + key + ".type");
        if (type.empty() || type == "smtp") {
            servers.push_back(std::move(key));
        }
    }
    std::string default_server = prefs.Get("mail.smtp.defaultserver");
    if (default_server.empty() && !servers.empty()) {
        default_server = servers.front();
    }
    const std::string default_account = prefs.Get("mail.accountmanager.defaultaccount");
    std::set<std::string> seen;
    for (const std::string& account : PrefList(prefs.Get("mail.accountmanager.accounts"))) {
        const auto identities = PrefList(prefs.Get("mail.account." + account + ".identities"));
        for (size_t i = 0; i < identities.size(); ++i) {
            const std::string identity = "mail.identity." + identities[i] + ".";
            if (!seen.insert(identities[i]).second) {
                continue;
            }
            std::string key = prefs.Get(identity + "smtpServer");
            if (key.empty()) {
                key = default_server;
            }
            if (std::find(servers.begin(), servers.end(), key) == servers.end()) {
                continue;
            }
            const std::string server = "mail.smtpserver." + key + ".";
            FoundAccount found;
            found.server = prefs.Get(server + "hostname");
            found.port = prefs.Get(server + "port");
            found.security = SecurityOf(prefs.Get(server + "try_ssl"));
            found.login = prefs.Get(server + "authMethod") != "1";
            found.user = prefs.Get(server + "username");
            found.email = prefs.Get(identity + "useremail");
            found.display_name = prefs.Get(identity + "fullName");
            found.is_default = i == 0 && account == default_account;
            AppendFoundAccount(found, kProgram, accounts);
        }
    }
}

}  // namespace

void GetThunderbirdAccounts(const AccountEnvironment& environment, const FileListing& files,
                            AccountTable& accounts) {
    if (environment.home.empty()) {
        return;
    }
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
                AppendProfileAccounts(Prefs(ReadUserPrefs(*prefs)), accounts);
            }
        }
    }
}

}  // namespace quillet
