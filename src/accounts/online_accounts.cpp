#include "accounts/online_accounts.h"

#include <string>

#include "accounts/desktop_folders.h"
#include "accounts/found_account.h"
#include "accounts/key_file.h"
#include "accounts/windows_mail_accounts.h"
#include "support/fold_case.h"

namespace quillet {

void GetOnlineAccounts(const AccountEnvironment& environment, const FileListing& files,
                       AccountTable& accounts) {
    const std::string config = ConfigHomeFolder(environment);
    const auto text = config.empty() ? std::nullopt
                                     : files.ReadFile(JoinPath(config, "goa-1.0/accounts.conf"),
                                                      kMaxAccountFileBytes);
    if (!text) {
        return;
    }
    const KeyFile file = KeyFile::Parse(*text);
    FoundAccounts found_accounts("GNOME Online Accounts", accounts);
    for (const std::string& group : file.Groups()) {
        const auto value = [&](std::string_view key) -> const std::string& {
            return file.Value(group, key);
        };
        if (!group.starts_with("Account ") || value("Provider") != "imap_smtp" ||
            EqualsIgnoringCase(value("MailEnabled"), "false")) {
            continue;
        }
        FoundAccount found;
        const std::string_view host = value("SmtpHost");
        const size_t colon = host.rfind(':');
        const bool bracketed = host.starts_with('[');
        if (colon != std::string_view::npos &&
            (bracketed ? host[colon - 1] == ']' : host.find(':') == colon)) {
            found.server = host.substr(bracketed ? 1 : 0, colon - (bracketed ? 2 : 0));
            found.port = host.substr(colon + 1);
        } else {
            found.server =
                bracketed && host.ends_with(']') ? host.substr(1, host.size() - 2) : host;
        }
        found.security = KeyFileFlag(value("SmtpUseSsl"))   ? Security::Tls
                         : KeyFileFlag(value("SmtpUseTls")) ? Security::StartTls
                                                            : Security::Plain;
        found.login = KeyFileFlag(value("SmtpUseAuth"));
        found.user = value("SmtpUserName");
        found.email = value("EmailAddress");
        found.display_name = value("Name");
        if (!found_accounts.Append(found)) {
            return;
        }
    }
}

}  // namespace quillet
