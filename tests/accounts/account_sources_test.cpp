// The three account sources on a Wine prefix made the way Wine and the mail programs make it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "accounts/account_search.h"
#include "accounts/outlook_accounts.h"
#include "accounts/windows_mail_accounts.h"
#include "platform/accounts/account_services.h"
#include "support/temp_dir.h"
#include "support/wine_user_reg.h"

namespace quillet {
namespace {

using test::TempDir;
using test::Utf16Z;
using test::WineHexValue;
using test::WriteFile;

const std::string kOutlookAccounts =
    "[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Windows Messaging "
    "Subsystem\\\\Profiles\\\\";
const std::string kOutlookSubkey = "\\\\9375CFF0413111d3B88A00104B2A6676\\\\";

std::string UserReg() {
    return R"(WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-1-2-3-1000

#arch=win64

[Software\\Microsoft\\Internet Account Manager] 1700000000
#time=1da2b3c4d5e6f70
"Default Mail Account"="0000000A"

[Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001] 1700000000
"Account Name"="Home"
"SMTP Server"="smtp.home.example"
"SMTP Port"=dword:0000024b
"SMTP User Name"=""
"POP3 User Name"="pop.user"
"SMTP Use Sicily"=dword:00000002
"SMTP Secure Connection"=dword:00000000
"SMTP Email Address"="me@home.example"
"SMTP Display Name"="Zo\xeb Home"

[Software\\Microsoft\\Internet Account Manager\\Accounts\\00000002] 1700000000
"NNTP Server"="news.example"

[Software\\Microsoft\\Internet Account Manager\\Accounts\\00000003] 1700000000
"SMTP Server"=""

[Software\\Microsoft\\Internet Account Manager\\Accounts\\0000000a] 1700000000
"SMTP Server"="smtp.work.example"
"SMTP User Name"="worker"
"POP3 User Name"="ignored"
"SMTP Use Sicily"=dword:00000000
"SMTP Secure Connection"=dword:00000001
"SMTP Email Address"="me@work.example"
"SMTP Display Name"="Work"

[Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles] 1700000000
"DefaultProfile"="Outlook"

)" + kOutlookAccounts +
           "Outlook" + kOutlookSubkey + "00000001] 1700000000\n" +
           WineHexValue("SMTP Server", "hex", Utf16Z(u"smtp.outlook.example")) +
           WineHexValue("POP3 User", "hex", Utf16Z(u"\u0410\u043d\u043d\u0430")) +
           WineHexValue("Display Name", "hex", Utf16Z(u"Anna \U0001F600")) +
           WineHexValue("Email", "hex", Utf16Z(u"anna@outlook.example")) +
           "\"SMTP Use Auth\"=dword:00000001\n\n" +  //
           kOutlookAccounts + "Outlook" + kOutlookSubkey + "00000002] 1700000000\n" +
           WineHexValue("Account Name", "hex", Utf16Z(u"No server")) + "\n" +  //
           kOutlookAccounts + "Outlook" + kOutlookSubkey + "00000003] 1700000000\n" +
           WineHexValue("SMTP Server", "hex", Utf16Z(u"mail.second.example")) +
           WineHexValue("SMTP Use Auth", "hex", Utf16Z(u"1")) + "\n" +  //
           kOutlookAccounts + "Outlook" + kOutlookSubkey + "00000004] 1700000000\n" +
           WineHexValue("SMTP Server", "hex", Utf16Z(u"mail.third.example")) +
           WineHexValue("SMTP Use Auth", "hex", std::string("\x01\0\0\0", 4)) + "\n" +  //
           kOutlookAccounts + "Other" + kOutlookSubkey + "00000001] 1700000000\n" +
           WineHexValue("SMTP Server", "hex", Utf16Z(u"smtp.other.example"));
}

std::string Utf16LeWithMark(const std::u16string& text) {
    const std::string bytes = Utf16Z(text);
    return "\xFF\xFE" + bytes.substr(0, bytes.size() - 2);
}

std::string Element(const std::string& name, const std::string& type, const std::string& text) {
    return "\t<" + name + " type=\"" + type + "\">" + text + "</" + name + ">\r\n";
}

// The fixture: a prefix with user.reg and the user's Windows Mail account files.
class AccountSourcesTest : public testing::Test {
  protected:
    void SetUp() override {
        WriteFile(dir_.Path("user.reg"), UserReg());
        std::filesystem::create_directories(dir_.Path("drive_c/users/Public/AppData/Local"));
        MakeMailFiles(dir_.Path("drive_c/users/tester/AppData/Local"));
    }

    // Windows Mail's account files under the local application-data folder `local`.
    static void MakeMailFiles(const std::string& local) {
        const std::string folder = local + "/Microsoft/Windows Mail/Local Folders";
        std::filesystem::create_directories(folder + "/folder.oeaccount");
        WriteFile(
            folder + "/a-first.oeaccount",
            Utf16LeWithMark(u"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n"
                            u"<MessageAccount>\r\n"
                            u"\t<SMTP_Server type=\"SZ\">smtp.wm1.example</SMTP_Server>\r\n"
                            u"\t<SMTP_Port type=\"DWORD\">00000019</SMTP_Port>\r\n"
                            u"\t<SMTP_User_Name type=\"SZ\"></SMTP_User_Name>\r\n"
                            u"\t<POP3_User_Name type=\"SZ\">wm1.pop</POP3_User_Name>\r\n"
                            u"\t<SMTP_Use_Sicily type=\"DWORD\">00000001</SMTP_Use_Sicily>\r\n"
                            u"\t<SMTP_Email_Address type=\"SZ\">one@wm.example"
                            u"</SMTP_Email_Address>\r\n"
                            u"\t<SMTP_Display_Name type=\"SZ\">Zo\u00EB \u0416"
                            u"</SMTP_Display_Name>\r\n"
                            u"</MessageAccount>\r\n"));
        WriteFile(folder + "/B-second.OEACCOUNT",
                  "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<MessageAccount>\r\n" +
                      Element("SMTP_Server", "SZ", "smtp.wm2.example") +
                      Element("SMTP_Port", "DWORD", "0000024b") +
                      Element("SMTP_User_Name", "SZ", "wm2.user") +
                      Element("POP3_User_Name", "SZ", "ignored") +
                      Element("SMTP_Use_Sicily", "DWORD", "00000000") +
                      Element("SMTP_Secure_Connection", "DWORD", "00000002") +
                      Element("SMTP_Email_Address", "SZ", "two@wm.example") +
                      Element("SMTP_Display_Name", "SZ", "Second \xE2\x82\xAC") +
                      "</MessageAccount>\r\n");
        WriteFile(folder + "/c-noserver.oeaccount",
                  "<MessageAccount>" + Element("POP3_Server", "SZ", "pop.example") +
                      Element("SMTP_Server", "SZ", "") + "</MessageAccount>");
        WriteFile(folder + "/d-plain.oeaccount",
                  "<MessageAccount>" + Element("SMTP_Server", "SZ", "smtp.wm4.example") +
                      Element("SMTP_Display_Name", "SZ", "Caf\xE9") + "</MessageAccount>");
        const std::string with_server = Element("SMTP_Server", "SZ", "smtp.skipped.example");
        WriteFile(folder + "/.hidden.oeaccount", with_server);
        WriteFile(folder + "/notes.txt", with_server);
        WriteFile(folder + "/e-large.oeaccount",
                  with_server + std::string(kMaxAccountFileBytes, ' '));
        WriteFile(folder + "/f-locked.oeaccount", with_server);
        ::chmod((folder + "/f-locked.oeaccount").c_str(), 0);
        if (::geteuid() == 0) {  // root reads it anyway
            std::filesystem::remove(folder + "/f-locked.oeaccount");
        }
    }

    AccountTable Search(AccountEnvironment environment) {
        AccountServices services(std::move(environment));
        return SearchAccounts(services.Sources());
    }

    TempDir dir_;
};

MailAccount Account(std::string server, std::string port, std::string user, int32_t req_auth,
                    std::string email, std::string is_default, int32_t sec_conn,
                    std::string program, std::string display_name) {
    return MailAccount{std::move(server), std::move(port),    std::move(user),
                       req_auth,          std::move(email),   std::move(is_default),
                       sec_conn,          std::move(program), std::move(display_name)};
}

std::vector<MailAccount> WindowsMailRows() {
    return {
        Account("smtp.wm1.example", "25", "wm1.pop", 1, "one@wm.example", "", 0, "Windows Mail",
                "Zo\xC3\xAB \xD0\x96"),
        Account("smtp.wm2.example", "587", "wm2.user", 0, "two@wm.example", "", 1, "Windows Mail",
                "Second \xE2\x82\xAC"),
        Account("smtp.wm4.example", "", "", 0, "", "", 0, "Windows Mail", "Caf\xC3\xA9"),
    };
}

TEST_F(AccountSourcesTest, FindsEveryAccountInSourceOrder) {
    std::vector<MailAccount> expected = {
        Account("smtp.home.example", "587", "pop.user", 1, "me@home.example", "", 0,
                "Outlook Express", "Zo\xC3\xAB Home"),
        Account("smtp.work.example", "", "worker", 0, "me@work.example", "*", 1, "Outlook Express",
                "Work"),
        Account("smtp.outlook.example", "", "\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0", 1,
                "anna@outlook.example", "", 0, "Outlook", "Anna \xF0\x9F\x98\x80"),
        Account("mail.second.example", "", "", 1, "", "", 0, "Outlook", ""),
        Account("mail.third.example", "", "", 0, "", "", 0, "Outlook", ""),
    };
    for (const MailAccount& row : WindowsMailRows()) {
        expected.push_back(row);
    }
    const AccountTable table = Search(AccountEnvironment{"", dir_.path(), "", "tester"});
    ASSERT_EQ(table.AccountCount(), static_cast<int32_t>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(table.All()[i], expected[i]) << "row " << i + 1 << ": " << table.All()[i].Server;
    }
    EXPECT_EQ(table.Accounts(1), &table.All().front());
    EXPECT_EQ(table.Accounts(table.AccountCount()), &table.All().back());
    EXPECT_EQ(table.Accounts(0), nullptr);
    EXPECT_EQ(table.Accounts(table.AccountCount() + 1), nullptr);
}

TEST_F(AccountSourcesTest, FindsTheWindowsMailFolderWhereverTheEnvironmentPutsIt) {
    const std::string prefix = dir_.path();
    TempDir elsewhere;
    MakeMailFiles(elsewhere.Path("Local"));
    TempDir old_layout;
    MakeMailFiles(old_layout.Path("drive_c/users/other/Local Settings/Application Data"));
    std::filesystem::create_directories(old_layout.Path("drive_c/users/Public"));
    TempDir two_users;
    MakeMailFiles(two_users.Path("drive_c/users/one/AppData/Local"));
    MakeMailFiles(two_users.Path("drive_c/users/two/AppData/Local"));
    const struct {
        const char* name;
        AccountEnvironment environment;
        bool found;
    } cases[] = {
        {"LOCALAPPDATA first", {elsewhere.Path("Local"), "/nonexistent", "", "x"}, true},
        {"the user in another case", {"", prefix, "", "TESTER"}, true},
        {"the only user", {"", prefix, "", "somebody"}, true},
        {"older layout", {"", old_layout.path(), "", ""}, true},
        {"no user among two", {"", two_users.path(), "", "three"}, false},
        {"one of two", {"", two_users.path(), "", "two"}, true},
        {"no prefix", {"", "", "", "tester"}, false},
        {"the default prefix", {"", "", elsewhere.path(), "tester"}, false},
    };
    for (const auto& c : cases) {
        AccountTable table;
        AccountServices services(c.environment);
        GetWindowsMailAccounts(c.environment, services.Sources().files, table);
        EXPECT_EQ(table.All(), c.found ? WindowsMailRows() : std::vector<MailAccount>()) << c.name;
    }
}

TEST_F(AccountSourcesTest, ADefaultPrefixUnderHomeIsUsed) {
    TempDir home;
    std::filesystem::create_directories(home.Path(".wine"));
    WriteFile(home.Path(".wine/user.reg"), UserReg());
    const AccountTable table = Search(AccountEnvironment{"", "", home.path(), "tester"});
    EXPECT_EQ(table.AccountCount(), 5);  // the registry's accounts; no Windows Mail folder
}

TEST_F(AccountSourcesTest, OutlookNeedsItsDefaultProfile) {
    WriteFile(dir_.Path("user.reg"), "WINE REGISTRY Version 2\n" + kOutlookAccounts + "Outlook" +
                                         kOutlookSubkey + "00000001] 1\n" +
                                         WineHexValue("SMTP Server", "hex", Utf16Z(u"x")));
    AccountServices services(AccountEnvironment{"", dir_.path(), "", "tester"});
    AccountTable table;
    GetOutlookAccounts(services.Sources().registry, table);
    EXPECT_EQ(table.AccountCount(), 0);
}

}  // namespace
}  // namespace quillet
