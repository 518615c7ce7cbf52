#include "accounts/msmtp_accounts.h"

#include <optional>
#include <string>

#include "accounts/desktop_folders.h"
#include "accounts/found_account.h"
#include "accounts/msmtp_config.h"
#include "accounts/windows_mail_accounts.h"

namespace quillet {

void GetMsmtpAccounts(const AccountEnvironment& environment, const FileListing& files,
                      AccountTable& accounts) {
    std::optional<std::string> text;
    if (const std::string config = ConfigHomeFolder(environment); !config.empty()) {
        text = files.ReadFile(JoinPath(config, "msmtp/config"), kMaxAccountFileBytes);
    }
    if (!text && !environment.home.empty()) {
        text = files.ReadFile(JoinPath(environment.home, ".msmtprc"), kMaxAccountFileBytes);
    }
    if (!text) {
        return;
    }
    FoundAccounts found_accounts("msmtp", accounts);
    const std::vector<MsmtpAccount> read = ReadMsmtpConfig(*text);
    for (const MsmtpAccount& account : read) {
        FoundAccount found;
        found.server = account.host;
        found.port = account.port;
        if (account.tls == "on") {
            found.security = account.tls_starttls == "off" ? Security::Tls : Security::StartTls;
        }
        found.login = !account.auth.empty() && account.auth != "off";
        found.user = account.user;
        // With a token method, passwordeval prints the access token.
        found.token_login = account.auth == "oauthbearer" || account.auth == "xoauth2";
        if (found.token_login) {
            found.token_command = account.passwordeval;
        }
        found.email = account.from;
        found.is_default = account.is_default;
        if (!found_accounts.Append(found)) {
            return;
        }
    }
}

}  // namespace quillet
