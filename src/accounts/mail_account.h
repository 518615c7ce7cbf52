// One mail account found on this machine, and the account dialog's table of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// A new record has every text empty and both flags 0; a source fills only what it reads.
struct MailAccount {
    std::string Server;       // the outgoing (SMTP) server
    std::string Port;         // decimal digits, or empty when the source gives none
    std::string UserName;     // for logging on to the server
    int32_t ReqAuth = 0;      // 1 when the server requires authentication, else 0
    std::string Email;        // the sender's address
    std::string Default;      // "*" for the source's default account, else empty
    int32_t SecConn = 0;      // 1 when the server is reached over SSL, else 0
    std::string Program;      // "Outlook Express", "Outlook" or "Windows Mail"
    std::string DisplayName;  // the sender's display name
    // The account signs in with an access token (OAuth2), not a password: 1, else 0. The
    // command that prints the token, when the source names one; else empty.
    int32_t TokenLogin = 0;
    std::string TokenCommand;

    bool operator==(const MailAccount&) const = default;
};

// The accounts in the order the sources found them, numbered from 1 to AccountCount(). Records
// are only appended; nothing is sorted, merged or removed, except by Clear().
class AccountTable {
  public:
    int32_t AccountCount() const { return static_cast<int32_t>(records_.size()); }

    // Record `index`, 1-based; null when `index` is outside 1 to AccountCount().
    const MailAccount* Accounts(int32_t index) const;

    // All records, record i at position i - 1.
    const std::vector<MailAccount>& All() const { return records_; }

    // Appends an empty record and gives it for filling. The reference holds until the next
    // Append or Clear.
    MailAccount& Append();

    void Clear() { records_.clear(); }

  private:
    std::vector<MailAccount> records_;
};

}  // namespace quillet
