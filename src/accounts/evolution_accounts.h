// The accounts that Evolution keeps in its source files.
#pragma once

#include "accounts/file_listing.h"
#include "accounts/mail_account.h"
#include "accounts/wine_folders.h"

namespace quillet {

// Appends a record, labelled "Evolution", per mail identity whose transport is an SMTP server.
//
// The files: the ordinary files ending in ".source" in ConfigHomeFolder/evolution/sources, in
// listing order, each a key file (KeyFile) and named by its uid (the file name without
// ".source"). A source with [Data Source] Enabled=false is left out, whatever it holds.
// An identity is a source with [Mail Identity]: Address gives Email, Name DisplayName, and
// [Mail Submission] TransportUid names the transport source. The transport must have
// [Mail Transport] BackendName=smtp; its [Authentication] Host, Port and User give Server, Port
// and UserName; a login unless Method is empty or "none"; [Security] Method
// "ssl-on-alternate-port" is TLS from the first byte, "starttls-on-standard-port" STARTTLS,
// anything else plain. Evolution keeps its default account outside these files, so Default stays
// empty. Passwords are not read.
//
// A file that cannot be read (not an ordinary file, larger than kMaxAccountFileBytes) counts
// as missing; a missing folder gives no records. Never fails.
void GetEvolutionAccounts(const AccountEnvironment& environment, const FileListing& files,
                          AccountTable& accounts);

}  // namespace quillet
