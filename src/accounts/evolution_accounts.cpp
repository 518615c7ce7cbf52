#include "accounts/evolution_accounts.h"

#include <map>
#include <string>

#include "accounts/desktop_folders.h"
#include "accounts/found_account.h"
#include "accounts/key_file.h"
#include "accounts/windows_mail_accounts.h"
#include "support/fold_case.h"

namespace quillet {
namespace {

constexpr std::string_view kSuffix = ".source";

Security SecurityOf(const std::string& method) {
    if (method == "ssl-on-alternate-port") {
        return Security::Tls;
    }
    return method == "starttls-on-standard-port" ? Security::StartTls : Security::Plain;
}

}  // namespace

void GetEvolutionAccounts(const AccountEnvironment& environment, const FileListing& files,
                          AccountTable& accounts) {
    const std::string config = ConfigHomeFolder(environment);
    if (config.empty()) {
        return;
    }
    const std::string folder = JoinPath(config, "evolution/sources");
    std::map<std::string, KeyFile, std::less<>> sources;  // by uid, enabled ones only
    std::vector<std::string> identities;                  // uids in listing order
    for (const FolderEntry& entry : files.ListFolder(folder)) {
        if (entry.is_folder || !entry.name.ends_with(kSuffix)) {
            continue;
        }
        const auto text = files.ReadFile(JoinPath(folder, entry.name), kMaxAccountFileBytes);
        if (!text) {
            continue;
        }
        KeyFile source = KeyFile::Parse(*text);
        if (EqualsIgnoringCase(source.Value("Data Source", "Enabled"), "false")) {
            continue;
        }
        std::string uid = entry.name.substr(0, entry.name.size() - kSuffix.size());
        if (source.HasGroup("Mail Identity")) {
            identities.push_back(uid);
        }
        sources.emplace(std::move(uid), std::move(source));
    }
    FoundAccounts found_accounts("Evolution", accounts);
    for (const std::string& uid : identities) {
        const KeyFile& identity = sources.at(uid);
        const auto transport = sources.find(identity.Value("Mail Submission", "TransportUid"));
        if (transport == sources.end() ||
            transport->second.Value("Mail Transport", "BackendName") != "smtp") {
            continue;
        }
        const KeyFile& smtp = transport->second;
        const std::string& method = smtp.Value("Authentication", "Method");
        FoundAccount found;
        found.server = smtp.Value("Authentication", "Host");
        found.port = smtp.Value("Authentication", "Port");
        found.security = SecurityOf(smtp.Value("Security", "Method"));
        found.login = !method.empty() && !EqualsIgnoringCase(method, "none");
        found.user = smtp.Value("Authentication", "User");
        found.email = identity.Value("Mail Identity", "Address");
        found.display_name = identity.Value("Mail Identity", "Name");
        if (!found_accounts.Append(found)) {
            return;
        }
    }
}

}  // namespace quillet
