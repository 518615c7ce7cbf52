#include "accounts/kmail_accounts.h"

#include <map>
#include <string>

#include "accounts/desktop_folders.h"
#include "accounts/found_account.h"
#include "accounts/key_file.h"
#include "accounts/windows_mail_accounts.h"
#include "support/fold_case.h"

namespace quillet {
namespace {

KeyFile ReadKeyFile(const FileListing& files, const std::string& path) {
    const auto text = files.ReadFile(path, kMaxAccountFileBytes);
    return KeyFile::Parse(text ? *text : std::string());
}

// The transport groups, found by id (the group name's end) and by name; the first of a kind
// wins.
class Transports {
  public:
    explicit Transports(KeyFile file) : file_(std::move(file)) {
        constexpr std::string_view kPrefix = "Transport ";
        for (const std::string& group : file_.Groups()) {
            if (group.starts_with(kPrefix)) {
                by_id_.try_emplace(group.substr(kPrefix.size()), group);
                by_name_.try_emplace(file_.Value(group, "name"), group);
                if (first_.empty()) {
                    first_ = group;
                }
            }
        }
        default_ = Find(file_.Value("General", "default-transport"));
        if (default_.empty()) {
            default_ = first_;
        }
    }

    // The group that `wanted` names by id or by name, else the default one; empty when there
    // is no transport at all.
    std::string Find(const std::string& wanted) const {
        if (const auto id = by_id_.find(wanted); !wanted.empty() && id != by_id_.end()) {
            return id->second;
        }
        if (const auto name = by_name_.find(wanted); !wanted.empty() && name != by_name_.end()) {
            return name->second;
        }
        return default_;
    }

    std::string Value(const std::string& group, std::string_view key) const {
        return file_.Value(group, key);
    }

  private:
    KeyFile file_;
    std::map<std::string, std::string, std::less<>> by_id_, by_name_;
    std::string first_, default_;
};

}  // namespace

void GetKMailAccounts(const AccountEnvironment& environment, const FileListing& files,
                      AccountTable& accounts) {
    const std::string config = ConfigHomeFolder(environment);
    if (config.empty()) {
        return;
    }
    const Transports transports(ReadKeyFile(files, JoinPath(config, "mailtransports")));

    const KeyFile identities = ReadKeyFile(files, JoinPath(config, "emailidentities"));
    const std::string default_uoid = identities.Value("General", "Default Identity");
    bool default_seen = false;
    for (const std::string& group : identities.Groups()) {
        default_seen = default_seen || (!default_uoid.empty() && group.starts_with("Identity #") &&
                                        identities.Value(group, "uoid") == default_uoid);
    }
    bool default_marked = false;
    for (const std::string& group : identities.Groups()) {
        if (!group.starts_with("Identity #")) {
            continue;
        }
        const bool is_default =
            !default_marked && (!default_seen || identities.Value(group, "uoid") == default_uoid);
        default_marked = default_marked || is_default;
        const std::string transport = transports.Find(identities.Value(group, "Transport"));
        const std::string identifier = transports.Value(transport, "identifier");
        if (transport.empty() || (!identifier.empty() && !EqualsIgnoringCase(identifier, "SMTP"))) {
            continue;
        }
        const std::string encryption = FoldCase(transports.Value(transport, "encryption"));
        FoundAccount found;
        found.server = transports.Value(transport, "host");
        found.port = transports.Value(transport, "port");
        found.security = encryption == "SSL"   ? Security::Tls
                         : encryption == "TLS" ? Security::StartTls
                                               : Security::Plain;
        found.login = KeyFileFlag(transports.Value(transport, "auth"));
        found.user = transports.Value(transport, "user");
        found.email = identities.Value(group, "Email Address");
        found.display_name = identities.Value(group, "Name");
        found.is_default = is_default;
        AppendFoundAccount(found, "KMail", accounts);
    }
}

}  // namespace quillet
