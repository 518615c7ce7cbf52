#include "accounts/kmail_accounts.h"

#include <map>
#include <string>
#include <vector>

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

// One transport's settings, as a record takes them; the texts are views into the file.
struct Transport {
    std::string_view host;
    std::string_view port;
    std::string_view user;
    Security security = Security::Plain;
    bool login = false;
    bool smtp = true;  // not a groupware transport
};

// The transports, found by id (the group name's end) and by name; the first of a kind wins.
// Each is read once, so that many identities on one transport cost no more than a few.
class Transports {
  public:
    explicit Transports(KeyFile file) : file_(std::move(file)) {
        constexpr std::string_view kPrefix = "Transport ";
        for (const std::string& group : file_.Groups()) {
            if (!group.starts_with(kPrefix)) {
                continue;
            }
            by_id_.try_emplace(group.substr(kPrefix.size()), list_.size());
            by_name_.try_emplace(file_.Value(group, "name"), list_.size());
            const std::string encryption = FoldCase(file_.Value(group, "encryption"));
            const std::string& identifier = file_.Value(group, "identifier");
            list_.push_back({file_.Value(group, "host"), file_.Value(group, "port"),
                             file_.Value(group, "user"),
                             encryption == "SSL"   ? Security::Tls
                             : encryption == "TLS" ? Security::StartTls
                                                   : Security::Plain,
                             KeyFileFlag(file_.Value(group, "auth")),
                             identifier.empty() || EqualsIgnoringCase(identifier, "SMTP")});
        }
        default_ = Find(file_.Value("General", "default-transport"));
        if (default_ == nullptr && !list_.empty()) {
            default_ = &list_.front();
        }
    }
    Transports(const Transports&) = delete;
    Transports& operator=(const Transports&) = delete;

    // The transport that `wanted` names by id or by name, else the default one; null when there
    // is no transport at all.
    const Transport* Find(std::string_view wanted) const {
        if (const auto id = by_id_.find(wanted); !wanted.empty() && id != by_id_.end()) {
            return &list_[id->second];
        }
        if (const auto name = by_name_.find(wanted); !wanted.empty() && name != by_name_.end()) {
            return &list_[name->second];
        }
        return default_;
    }

  private:
    KeyFile file_;
    std::vector<Transport> list_;
    std::map<std::string, size_t, std::less<>> by_id_, by_name_;
    const Transport* default_ = nullptr;
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
    const std::string& default_uoid = identities.Value("General", "Default Identity");
    bool default_seen = false;
    for (const std::string& group : identities.Groups()) {
        default_seen = default_seen || (!default_uoid.empty() && group.starts_with("Identity #") &&
                                        identities.Value(group, "uoid") == default_uoid);
    }
    FoundAccounts found_accounts("KMail", accounts);
    bool default_marked = false;
    for (const std::string& group : identities.Groups()) {
        if (!group.starts_with("Identity #")) {
            continue;
        }
        const bool is_default =
            !default_marked && (!default_seen || identities.Value(group, "uoid") == default_uoid);
        default_marked = default_marked || is_default;
        const Transport* transport = transports.Find(identities.Value(group, "Transport"));
        if (transport == nullptr || !transport->smtp) {
            continue;
        }
        FoundAccount found;
        found.server = transport->host;
        found.port = transport->port;
        found.security = transport->security;
        found.login = transport->login;
        found.user = transport->user;
        found.email = identities.Value(group, "Email Address");
        found.display_name = identities.Value(group, "Name");
        found.is_default = is_default;
        if (!found_accounts.Append(found)) {
            return;
        }
    }
}

}  // namespace quillet
