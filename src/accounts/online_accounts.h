// The mail accounts of GNOME Online Accounts.
#pragma once

#include "accounts/file_listing.h"
#include "accounts/mail_account.h"
#include "accounts/wine_folders.h"

namespace quillet {

// Appends a record, labelled "GNOME Online Accounts", per [Account ...] group of
// ConfigHomeFolder/goa-1.0/accounts.conf (a key file, KeyFile), in file order, whose Provider is
// "imap_smtp" and whose MailEnabled is not false. SmtpHost is "host" or "host:port" (an IPv6
// address in brackets, "[::1]:587"; one without brackets is all host); EmailAddress gives
// Email, Name DisplayName, SmtpUserName UserName; SmtpUseAuth a login; SmtpUseSsl TLS from the
// first byte, else SmtpUseTls STARTTLS, else plain. Passwords (kept in the keyring) are not
// read. A file that cannot be read (missing, not an ordinary file, larger than
// kMaxAccountFileBytes) gives no records. Never fails.
void GetOnlineAccounts(const AccountEnvironment& environment, const FileListing& files,
                       AccountTable& accounts);

}  // namespace quillet
