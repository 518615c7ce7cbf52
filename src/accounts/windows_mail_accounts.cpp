#include "accounts/windows_mail_accounts.h"

#include <cstdint>
#include <limits>

#include "accounts/account_file_text.h"
#include "accounts/account_flag.h"
#include "accounts/get_xml_value.h"
#include "support/fold_case.h"

namespace quillet {

std::string HexPortText(std::string_view text) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    uint64_t value = 0;
    for (char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            break;
        }
        value = value > (kMax - digit) / 16 ? kMax : value * 16 + digit;
    }
    return std::to_string(value);
}

void GetWindowsMailAccounts(const AccountEnvironment& environment, const FileListing& files,
                            AccountTable& accounts) {
    const std::string local = LocalAppDataFolder(environment, files);
    if (local.empty()) {
        return;
    }
    const std::string folder =
        FindFolderIgnoringCase(files, local, {"Microsoft", "Windows Mail", "Local Folders"});
    if (folder.empty()) {
        return;
    }
    for (const FolderEntry& entry : files.ListFolder(folder)) {
        if (entry.is_folder || !EndsWithIgnoringCase(entry.name, ".oeaccount")) {
            continue;
        }
        const auto bytes = files.ReadFile(folder + "/" + entry.name, kMaxAccountFileBytes);
        if (!bytes) {
            continue;
        }
        const std::string xml = AccountFileText(*bytes);
        std::string server = GetXMLvalue(xml, "SMTP_Server");
        if (server.empty()) {
            continue;
        }
        MailAccount& account = accounts.Append();
        account.Server = std::move(server);
        if (const std::string port = GetXMLvalue(xml, "SMTP_Port"); !port.empty()) {
            account.Port = HexPortText(port);
        }
        account.UserName = GetXMLvalue(xml, "SMTP_User_Name");
        if (account.UserName.empty()) {
            account.UserName = GetXMLvalue(xml, "POP3_User_Name");
        }
        account.ReqAuth = AccountFlag(GetXMLvalue(xml, "SMTP_Use_Sicily"));
        account.Email = GetXMLvalue(xml, "SMTP_Email_Address");
        account.SecConn = AccountFlag(GetXMLvalue(xml, "SMTP_Secure_Connection"));
        account.Program = "Windows Mail";
        account.DisplayName = GetXMLvalue(xml, "SMTP_Display_Name");
    }
}

}  // namespace quillet
