// The accounts that KMail keeps: its identities and its mail transports.
#pragma once

#include "accounts/file_listing.h"
#include "accounts/mail_account.h"
#include "accounts/wine_folders.h"

namespace quillet {

// Appends a record, labelled "KMail", per identity that has an SMTP transport.
//
// Identities: the [Identity #n] groups of ConfigHomeFolder/emailidentities, a key file
// (KeyFile), in file order; "Email Address" gives Email and "Name" DisplayName; Default is "*"
// for the first identity whose uoid is [General] "Default Identity", or for the first identity
// when none matches. Its transport: "Transport" names a transport by id (or, as older files do, by
// name); without one, or when it names none, the default transport.
//
// Transports: the [Transport <id>] groups of ConfigHomeFolder/mailtransports; the default is
// [General] default-transport, else the first. A transport whose identifier is set and not
// "SMTP" (a groupware transport) gives no record. host, port and user give Server, Port and
// UserName; auth=true a login; encryption "SSL" TLS from the first byte, "TLS" STARTTLS,
// anything else plain (matched ignoring letter case). Passwords are not read.
//
// A file that cannot be read (missing, not an ordinary file, larger than kMaxAccountFileBytes)
// counts as empty. Never fails.
void GetKMailAccounts(const AccountEnvironment& environment, const FileListing& files,
                      AccountTable& accounts);

}  // namespace quillet
