// The accounts that Thunderbird keeps in its profiles.
#pragma once

#include "accounts/file_listing.h"
#include "accounts/mail_account.h"
#include "accounts/wine_folders.h"

namespace quillet {

// At most this many profiles are read in one search, so that a profiles.ini listing one
// profile many times over cannot make the search crawl.
inline constexpr size_t kMaxThunderbirdProfiles = 100;

// Appends a record, labelled "Thunderbird", per identity that has an outgoing server.
//
// Profiles: the [Profile...] groups of profiles.ini, in file order, in `home`/.thunderbird,
// then in the Flatpak folder .var/app/org.mozilla.Thunderbird/.thunderbird and the Snap
// folder snap/thunderbird/common/.thunderbird. A Path beginning with "/" is taken as it is,
// any other under the folder of its profiles.ini; a profile already read (the same path, empty
// and "." parts aside) is not read again.
//
// In a profile's prefs.js (ReadUserPrefs): the accounts listed in mail.accountmanager.accounts,
// each account's identities in mail.account.<account>.identities, in those orders (an identity
// listed twice gives one record). An identity's server is mail.identity.<id>.smtpServer, else
// mail.smtp.defaultserver, else the first of mail.smtpservers; it must be one of
// mail.smtpservers, and its mail.smtpserver.<key>.type (when set) must be "smtp"
// (newer releases keep Exchange servers, which have no SMTP host, in that list and their
// settings under mail.outgoingserver.<key>). The record: Server mail.smtpserver.<key>.hostname,
// Port .port, UserName .username; SSL from .try_ssl (3 TLS from the first byte, 1 and 2
// STARTTLS, anything else plain); a login unless .authMethod is 1 (no authentication), with
// TokenLogin 1 (no command: Thunderbird gets its tokens itself) when it is 10 (OAuth2);
// Email and DisplayName mail.identity.<id>.useremail and .fullName; Default "*" for the first
// identity of mail.accountmanager.defaultaccount. Passwords are not read.
//
// A profiles.ini or prefs.js that cannot be read (missing, not an ordinary file, larger than
// kMaxAccountFileBytes) is passed over; an unset `home` gives no records. Never fails.
void GetThunderbirdAccounts(const AccountEnvironment& environment, const FileListing& files,
                            AccountTable& accounts);

}  // namespace quillet
