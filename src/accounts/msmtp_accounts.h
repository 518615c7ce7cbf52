// The accounts of msmtp.
#pragma once

#include "accounts/file_listing.h"
#include "accounts/mail_account.h"
#include "accounts/wine_folders.h"

namespace quillet {

// Appends a record, labelled "msmtp", per account of ReadMsmtpConfig, in file order, read from
// ConfigHomeFolder/msmtp/config, or from `home`/.msmtprc when that cannot be read. host, port,
// from and user give Server, Port, Email and UserName; a login when auth is set and not "off";
// tls "on" is TLS from the first byte when tls_starttls is "off" and STARTTLS otherwise, and
// plain without tls; Default "*" for the default account. With auth "oauthbearer" or "xoauth2",
// TokenLogin 1 and passwordeval as TokenCommand; passwords, and password commands of other
// accounts, are not read (nor run). A file that cannot be read (missing, not an ordinary file, larger than
// kMaxAccountFileBytes) counts as missing. Never fails.
void GetMsmtpAccounts(const AccountEnvironment& environment, const FileListing& files,
                      AccountTable& accounts);

}  // namespace quillet
