// The accounts that Windows Mail keeps in its account files.
#pragma once

#include <string>
#include <string_view>

#include "accounts/file_listing.h"
#include "accounts/mail_account.h"
#include "accounts/wine_folders.h"

namespace quillet {

// An account file larger than this is not an account file and is passed over.
inline constexpr size_t kMaxAccountFileBytes = 1 << 20;

// The decimal digits of the hexadecimal number that `text` begins with, read up to the first
// character that is not a hexadecimal digit: "00000019" gives "25", "0000024b" gives "587", a
// text that begins with no digit gives "0". A value too large for 64 bits gives
// "18446744073709551615". Never fails.
std::string HexPortText(std::string_view text);

// Appends one record per account file, in listing order: the ordinary, visible files whose
// names end in ".oeaccount" (ignoring case) in the folder "Microsoft/Windows Mail/Local
// Folders" (each level ignoring case) of LocalAppDataFolder. A file's text is AccountFileText
// of its bytes, and its fields are the GetXMLvalue of the elements: a file without a non-empty
// SMTP_Server gives no record; Port is HexPortText of SMTP_Port (empty when that is empty);
// UserName falls back from SMTP_User_Name to POP3_User_Name; ReqAuth and SecConn are the flag
// test of SMTP_Use_Sicily and SMTP_Secure_Connection; Email and DisplayName are
// SMTP_Email_Address and SMTP_Display_Name; Default stays empty. A file that cannot be read or
// is larger than kMaxAccountFileBytes is passed over, as are a missing folder and an unset
// folder. Never fails.
void GetWindowsMailAccounts(const AccountEnvironment& environment, const FileListing& files,
                            AccountTable& accounts);

}  // namespace quillet
