// "Search Accounts..." end to end: a home made by the test holds a Wine prefix (user.reg and
// Windows Mail's files) and the files of the desktop mail programs, searched through the real
// readers and the account dialog.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "accounts/account_search.h"
#include "accounts/form_accounts.h"
#include "accounts/windows_mail_accounts.h"
#include "platform/accounts/account_services.h"
#include "settings/setup_dialog_slot.h"
#include "support/memory_profile.h"
#include "support/mail_doubles.h"
#include "support/recording_transport.h"
#include "support/scripted_screen.h"
#include "support/temp_dir.h"
#include "support/wine_user_reg.h"

namespace quillet {
namespace {

using Rows = std::vector<std::string>;  // the cells of each row joined by "|"
using Files = std::vector<std::pair<std::string, std::string>>;
using test::Utf16Z;
using test::WineHexValue;

// A home folder, its Wine prefix the default one under it. Write makes the folders on the way;
// the text "<fifo>" makes a FIFO, "<loop>" a symbolic link to itself.
struct Home {
    void Write(const std::string& path, const std::string& text) const {
        const std::string full = dir.Path(path);
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        if (text == "<fifo>") {
            EXPECT_EQ(::mkfifo(full.c_str(), 0600), 0);
        } else if (text == "<loop>") {
            std::filesystem::create_symlink(full, full);
        } else {
            test::WriteFile(full, text);
        }
    }
    AccountEnvironment Environment() const { return {"", "", dir.path(), "tester"}; }
    test::TempDir dir;
};

// The setup dialog whose "Search Accounts..." searches `home`.
struct SetupDialog {
    explicit SetupDialog(const Home& home) : services(home.Environment()) {}
    // The rows the account dialog lists; then OK on row `row`, or Cancel when `ok` is false.
    Rows Search(int row, bool ok = true) {
        Rows rows;
        screen.on_accounts_dialog = [&](formAccounts& dialog) {
            for (const auto& cells : dialog.lstv.Rows()) {
                rows.push_back(cells.at(0));
                for (size_t i = 1; i < cells.size(); ++i) {
                    rows.back() += "|" + cells[i];
                }
            }
            dialog.lstv.SetSelectedIndex(row);
            dialog.cmdSelect_Click(ok ? 0 : 1);
        };
        slot.Get().cmdGuess_Click();
        return rows;
    }
    // Template|name|address|server|port|SSL|login|account.
    std::string Copied() {
        formEmailSetup& f = slot.Get();
        return f.cmbServerTemplate.List(f.cmbServerTemplate.ListIndex()) + "|" +
               f.txtDisplayName.Text() + "|" + f.txtEmail.Text() + "|" + f.txtSMTPserver.Text() +
               "|" + f.txtPort.Text() + "|" + std::to_string(f.chkSSL.Value()) + "|" +
               std::to_string(f.chkAuthRequired.Value()) + "|" + f.txtAccountName.Text();
    }

    test::RecordingTransport transport;
    test::MemoryProfile file;
    test::ScriptedScreen screen;
    AccountServices services;
    AccountSources sources{services.Sources()};
    test::InlineRunner runner;
    SetupDialogSlot slot{{transport, runner, file, screen, "", &sources}};
};

// Outlook Express accounts (one without SMTP, the default named in another letter case) and
// Outlook's (UTF-16 bytes, "SMTP Use Auth" a DWORD); only the default profile counts.
std::string UserReg() {
    const auto outlook = [](const std::string& profile, const char* account) {
        return "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\Windows Messaging "
               "Subsystem\\\\Profiles\\\\" +
               profile + "\\\\9375CFF0413111d3B88A00104B2A6676\\\\" + account + "] 1700000000\n";
    };
    return R"(WINE REGISTRY Version 2

[Software\\Microsoft\\Internet Account Manager] 1700000000
#time=1da2b3c4d5e6f70
"Default Mail Account"="0000000A"

[Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001] 1700000000
"SMTP Server"="smtp.home.example"
"SMTP Port"=dword:0000024b
"SMTP User Name"=""
"POP3 User Name"="pop.user"
"SMTP Use Sicily"=dword:00000002
"SMTP Email Address"="me@home.example"
"SMTP Display Name"="Zo\xeb Home"

[Software\\Microsoft\\Internet Account Manager\\Accounts\\00000002] 1700000000
"NNTP Server"="news.example"

[Software\\Microsoft\\Internet Account Manager\\Accounts\\0000000a] 1700000000
"SMTP Server"="SMTP-MAIL.OUTLOOK.COM"
"SMTP User Name"="worker"
"SMTP Use Sicily"=dword:00000000
"SMTP Secure Connection"=dword:00000001
"SMTP Email Address"="me@work.example"
"SMTP Display Name"="Work"

[Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles] 1
"DefaultProfile"="Outlook"
)" + outlook("Outlook", "00000001") +
           WineHexValue("SMTP Server", "hex", Utf16Z(u"smtp.outlook.example")) +
           WineHexValue("POP3 User", "hex", Utf16Z(u"\u0410\u043d\u043d\u0430")) +
           WineHexValue("Display Name", "hex", Utf16Z(u"Anna \U0001F600")) +
           WineHexValue("Email", "hex", Utf16Z(u"anna@outlook.example")) +
           "\"SMTP Use Auth\"=dword:00000001\n" + outlook("Outlook", "00000002") +
           WineHexValue("Account Name", "hex", Utf16Z(u"No server")) +
           outlook("Other", "00000001") +
           WineHexValue("SMTP Server", "hex", Utf16Z(u"smtp.other.example"));
}

std::string Element(const std::string& name, const std::string& text) {
    return "\t<" + name + " type=\"SZ\">" + text + "</" + name + ">\r\n";
}

// Windows Mail's account files in `folder`: UTF-16 with a byte-order mark, UTF-8 with one, and
// Windows-1252; files that are not accounts, too large or unreadable are passed over.
void WriteWindowsMail(const Home& home, const std::string& folder) {
    const std::u16string utf16 =
        u"\uFEFF<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<MessageAccount>\r\n"
        u"\t<SMTP_Server type=\"SZ\">smtp.wm1.example</SMTP_Server>\r\n"
        u"\t<SMTP_Port type=\"DWORD\">00000019</SMTP_Port>\r\n"
        u"\t<SMTP_User_Name type=\"SZ\"></SMTP_User_Name>\r\n"
        u"\t<POP3_User_Name type=\"SZ\">wm1.pop</POP3_User_Name>\r\n"
        u"\t<SMTP_Use_Sicily type=\"DWORD\">00000001</SMTP_Use_Sicily>\r\n"
        u"\t<SMTP_Email_Address type=\"SZ\">one@wm.example</SMTP_Email_Address>\r\n"
        u"\t<SMTP_Display_Name type=\"SZ\">Zo\u00EB \u0416</SMTP_Display_Name>\r\n"
        u"</MessageAccount>\r\n";
    const std::string bytes = Utf16Z(utf16);
    home.Write(folder + "/a-first.oeaccount", bytes.substr(0, bytes.size() - 2));
    home.Write(folder + "/B-second.OEACCOUNT",
               "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<MessageAccount>\r\n" +
                   Element("SMTP_Server", "smtp.wm2.example") +
                   "<SMTP_Port type=\"DWORD\">0000024b</SMTP_Port>" +
                   Element("SMTP_User_Name", "wm2.user") + Element("POP3_User_Name", "ignored") +
                   "<SMTP_Secure_Connection type=\"DWORD\">00000002</SMTP_Secure_Connection>" +
                   Element("SMTP_Email_Address", "two@wm.example") +
                   Element("SMTP_Display_Name", "Second \xE2\x82\xAC") + "</MessageAccount>\r\n");
    home.Write(folder + "/c-noserver.oeaccount",
               "<MessageAccount>" + Element("SMTP_Server", "") + "</MessageAccount>");
    home.Write(folder + "/d-plain.oeaccount",
               "<MessageAccount>" + Element("SMTP_Server", "smtp.wm4.example") +
                   Element("SMTP_Display_Name", "Caf\xE9 &amp; Co") + "</MessageAccount>");
    const std::string skipped = Element("SMTP_Server", "smtp.skipped.example");
    std::filesystem::create_directories(home.dir.Path(folder + "/folder.oeaccount"));
    home.Write(folder + "/.hidden.oeaccount", skipped);
    home.Write(folder + "/notes.txt", skipped);
    home.Write(folder + "/e-large.oeaccount", skipped + std::string(kMaxAccountFileBytes, ' '));
    home.Write(folder + "/f-locked.oeaccount", skipped);
    ::chmod(home.dir.Path(folder + "/f-locked.oeaccount").c_str(), 0);
    if (::geteuid() == 0) {  // root reads it anyway
        std::filesystem::remove(home.dir.Path(folder + "/f-locked.oeaccount"));
    }
}

void WriteDesktopPrograms(const Home& home) {
    home.Write(".thunderbird/profiles.ini", "[Profile0]\nIsRelative=0\nPath=" +
                                                home.dir.Path(".thunderbird/k2x8.default") + "\n");
    home.Write(".thunderbird/k2x8.default/prefs.js",
               R"(user_pref("mail.account.account1.identities", "id1,id2");
user_pref("mail.accountmanager.accounts", "account1,account2");
user_pref("mail.accountmanager.defaultaccount", "account1");
user_pref("mail.identity.id1.fullName", "Anna \"AJ\" \u00D6hman");
user_pref("mail.identity.id1.smtpServer", "smtp1");
user_pref("mail.identity.id1.useremail", "anna@tb.example");
user_pref("mail.identity.id2.useremail", "sales@tb.example");
user_pref("mail.smtp.defaultserver", "smtp2");
user_pref("mail.smtpserver.smtp1.authMethod", 3);
user_pref("mail.smtpserver.smtp1.hostname", "smtp.tb.example");
user_pref("mail.smtpserver.smtp1.port", 465);
user_pref("mail.smtpserver.smtp1.try_ssl", 3);
user_pref("mail.smtpserver.smtp1.username", "anna");
user_pref("mail.smtpserver.smtp2.authMethod", 1);
user_pref("mail.smtpserver.smtp2.hostname", "relay.tb.example");
user_pref("mail.smtpserver.smtp2.try_ssl", 2);
user_pref("mail.smtpservers", "smtp1,smtp2");
)");
    home.Write(".config/evolution/sources/1a2b.source",
               "[Mail Identity]\nAddress=evo@evo.example\nName=Eve\n\n"
               "[Mail Submission]\nTransportUid=3c4d\n");
    home.Write(
        ".config/evolution/sources/3c4d.source",
        "[Authentication]\nHost=smtp.evo.example\nMethod=PLAIN\nPort=2525\nUser=eve\n\n"
        "[Mail Transport]\nBackendName=smtp\n\n[Security]\nMethod=starttls-on-standard-port\n");
    home.Write(".config/mailtransports",
               "[General]\ndefault-transport=22\n\n[Transport 11]\nauth=true\nencryption=SSL\n"
               "host=smtps.kde.example\nport=465\nuser=kai\n\n"
               "[Transport 22]\nencryption=TLS\nhost=smtp.kde.example\n");
    home.Write(".config/emailidentities",
               "[General]\nDefault Identity=202\n\n[Identity #0]\nEmail Address=k@kde.example\n"
               "Name=Kai\nTransport=11\nuoid=101\n\n"
               "[Identity #1]\nEmail Address=k2@kde.example\nName=Kai\\sTwo\nuoid=202\n");
    home.Write(".config/goa-1.0/accounts.conf",
               "[Account account_1700000000_0]\nProvider=google\n\n"
               "[Account account_1700000000_1]\nProvider=imap_smtp\nEmailAddress=g@goa.example\n"
               "Name=Gina\nSmtpHost=smtp.goa.example\nSmtpUseAuth=true\nSmtpUserName=gina\n"
               "SmtpUseSsl=true\n");
    home.Write(
        ".config/msmtp/config",
        "defaults\nauth   on\ntls on\n\naccount work\nhost smtp.work.example\nport 587\n"
        "from w@work.example\nuser w\n\naccount personal : work\nhost smtp.home.example\n"
        "port 465\ntls_starttls off\nfrom \"p@home.example\"\n\naccount default : personal\n");
}

const char* const kPasswordMessage =
    "Selected e-mail account requires authentication. Please enter your account password.";

TEST(SearchAccountsTest, EverySourceInOrderAndOkCopiesEachRow) {
    Home home;
    home.Write(".wine/user.reg", UserReg());
    WriteWindowsMail(home,
                     ".wine/drive_c/users/tester/AppData/Local/Microsoft/Windows Mail/"
                     "Local Folders");
    WriteDesktopPrograms(home);
    const Rows expected = {
        "me@home.example|Outlook Express||Zo\xC3\xAB Home|smtp.home.example|587|Yes|No|pop.user",
        "me@work.example|Outlook Express|*|Work|SMTP-MAIL.OUTLOOK.COM||No|Yes|worker",
        "anna@outlook.example|Outlook||Anna \xF0\x9F\x98\x80|smtp.outlook.example||Yes|No|"
        "\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0",
        "one@wm.example|Windows Mail||Zo\xC3\xAB \xD0\x96|smtp.wm1.example|25|Yes|No|wm1.pop",
        "two@wm.example|Windows Mail||Second \xE2\x82\xAC|smtp.wm2.example|587|No|Yes|wm2.user",
        "|Windows Mail||Caf\xC3\xA9 & Co|smtp.wm4.example||No|No|",
        "anna@tb.example|Thunderbird|*|Anna \"AJ\" \xC3\x96hman|smtp.tb.example|465|Yes|Yes|anna",
        "sales@tb.example|Thunderbird|||relay.tb.example|587|No|Yes|",
        "evo@evo.example|Evolution||Eve|smtp.evo.example|2525|Yes|Yes|eve",
        "k@kde.example|KMail||Kai|smtps.kde.example|465|Yes|Yes|kai",
        "k2@kde.example|KMail|*|Kai Two|smtp.kde.example|587|No|Yes|",
        "g@goa.example|GNOME Online Accounts||Gina|smtp.goa.example|465|Yes|Yes|gina",
        "w@work.example|msmtp|||smtp.work.example|587|Yes|Yes|w",
        "p@home.example|msmtp|*||smtp.home.example|465|Yes|Yes|w",
    };
    // What OK on a row puts into the setup dialog: template, name, address, server, port, SSL,
    // login, account. A template's server selects it; an account without a port gets 25.
    const std::pair<int, std::string> copied[] = {
        {0, "Custom|Zo\xC3\xAB Home|me@home.example|smtp.home.example|587|0|1|pop.user"},
        {1, "Hotmail|Work|me@work.example|SMTP-MAIL.OUTLOOK.COM|25|1|0|"},
    };
    for (const auto& [row, copy] : copied) {
        SetupDialog setup(home);
        formEmailSetup& f = setup.slot.Get();
        f.txtPassword.SetText("typed before");
        f.txtAccountName.SetText("old");
        f.lstSendTo.AddItem("kept@x.com");
        int focused = 0;
        const Subscription focus = f.txtPassword.OnFocus([&] { ++focused; });
        ASSERT_EQ(setup.Search(row), expected);
        EXPECT_EQ(setup.Copied(), copy) << "row " << row;
        const bool login = f.chkAuthRequired.Value() == 1;  // as Copied() has shown
        EXPECT_EQ(f.txtAccountName.Enabled(), login) << "row " << row;
        EXPECT_EQ(f.txtPassword.Enabled(), login) << "row " << row;
        EXPECT_EQ(f.lstSendTo.ListCount(), 1);
        // With a login, the password is asked for: a message, then the focus on its box.
        EXPECT_EQ(focused, login ? 1 : 0) << "row " << row;
        ASSERT_EQ(setup.screen.messages.size(), login ? 1u : 0u) << "row " << row;
        if (login) {
            EXPECT_EQ(f.txtPassword.Text(), "");
            EXPECT_EQ(setup.screen.messages[0].text, kPasswordMessage);
            EXPECT_EQ(setup.screen.messages[0].title, "Quillet");
            EXPECT_EQ(setup.screen.messages[0].icon, MessageIcon::Information);
        }
    }
}

TEST(SearchAccountsTest, CancelNoSelectionAndAnEmptyListChangeNothing) {
    Home full;
    WriteDesktopPrograms(full);
    const Home empty;
    const std::tuple<const Home&, int, bool> cases[] = {
        {full, 0, false}, {full, -1, true}, {empty, 0, true}};
    for (const auto& [home, row, ok] : cases) {
        SetupDialog setup(home);
        setup.slot.Get().chkAuthRequired.SetValue(1);
        setup.slot.Get().txtSMTPserver.SetText("mine.example.com");
        setup.Search(row, ok);
        EXPECT_EQ(setup.slot.Get().txtSMTPserver.Text(), "mine.example.com");
        EXPECT_TRUE(setup.slot.Get().txtAccountName.Enabled());
        EXPECT_TRUE(setup.screen.messages.empty());
        EXPECT_EQ(setup.screen.accounts_dialog_closed, 1);
    }
}

// Where Windows Mail's folder is looked for: $LOCALAPPDATA, else the Wine user's folder.
TEST(SearchAccountsTest, FindsTheWindowsMailFolderWhereverTheEnvironmentPutsIt) {
    const std::string wm = "/Microsoft/Windows Mail/Local Folders/a.oeaccount";
    Home home;
    for (const char* folder :
         {"local/Local", "one/drive_c/users/tester/AppData/Local",
          "old/drive_c/users/other/Local Settings/Application Data",
          "two/drive_c/users/one/AppData/Local", "two/drive_c/users/two/AppData/Local"}) {
        home.Write(folder + wm, Element("SMTP_Server", "s"));
    }
    std::filesystem::create_directories(home.dir.Path("one/drive_c/users/Public"));
    const auto at = [&](const char* path) { return home.dir.Path(path); };
    const std::tuple<const char*, AccountEnvironment, int> cases[] = {
        {"LOCALAPPDATA first", {at("local/Local"), "/nonexistent", "", "x"}, 1},
        {"the user in another case", {"", at("one"), "", "TESTER"}, 1},
        {"the only user", {"", at("one"), "", "somebody"}, 1},
        {"older layout", {"", at("old"), "", ""}, 1},
        {"no user among two", {"", at("two"), "", "three"}, 0},
        {"one of two", {"", at("two"), "", "two"}, 1},
    };
    for (const auto& [name, environment, found] : cases) {
        AccountTable table;
        AccountServices services(environment);
        GetWindowsMailAccounts(environment, services.Sources().files, table);
        EXPECT_EQ(table.AccountCount(), found) << name;
    }
}

// The rows found in a home holding `files`: program|email|default|server|port|login|SSL|user.
std::vector<std::string> Found(const Files& files) {
    Home home;
    for (const auto& [path, text] : files) {
        home.Write(path, text);
    }
    std::vector<std::string> rows;
    AccountServices services(home.Environment());
    const AccountTable table = SearchAccounts(services.Sources());
    for (const MailAccount& a : table.All()) {
        rows.push_back(a.Program + "|" + a.Email + "|" + a.Default + "|" + a.Server + "|" + a.Port +
                       "|" + std::to_string(a.ReqAuth) + "|" + std::to_string(a.SecConn) + "|" +
                       a.UserName);
    }
    return rows;
}

TEST(SearchAccountsTest, OddSettingsAndFilesThatCannotBeRead) {
    const std::string big_goa =
        "[Account a]\nProvider=imap_smtp\nSmtpHost=big.goa\n" + std::string(1 << 20, '#');
    const std::tuple<const char*, Files, std::vector<std::string>> cases[] = {
        {"Snap: a profile read once, no Exchange servers",
         {{"snap/thunderbird/common/.thunderbird/profiles.ini",
           "[Profile0]\nPath=p\n[Profile1]\nPath=./p/\n"},
          {"snap/thunderbird/common/.thunderbird/p/prefs.js",
           R"(user_pref("mail.accountmanager.accounts", "a1");
user_pref("mail.account.a1.identities", "id1, id2,id1,id3");
user_pref("mail.identity.id2.smtpServer", "ews1"); user_pref("mail.identity.id2.useremail", "e@x");
user_pref("mail.identity.id3.useremail", 'o\'k\x21@x');
user_pref("mail.smtpservers", "s1,ews1");
user_pref("mail.smtpserver.ews1.type", "ews");
user_pref("mail.smtpserver.s1.hostname", "s.tb"); user_pref("mail.smtpserver.s1.try_ssl", 1);
user_pref("mail.smtpserver.s1.port", 70000);
)"}},
         {"Thunderbird|||s.tb|587|1|1|", "Thunderbird|o'k!@x||s.tb|587|1|1|"}},
        {"Evolution: disabled sources left out; Method none is no login",
         {{".config/evolution/sources/a.source",
           "[Data Source]\nEnabled=false\n[Mail Identity]\nAddress=a@e\n"
           "[Mail Submission]\nTransportUid=t\n"},
          {".config/evolution/sources/c.source",
           "[Mail Identity]\nAddress=c@e\n[Mail Submission]\nTransportUid=t\n"},
          {".config/evolution/sources/t.source",
           "[Mail Transport]\nBackendName=smtp\n[Authentication]\nHost=t.evo\nMethod=none\n"
           "[Security]\nMethod=none\n"}},
         {"Evolution|c@e||t.evo||0|0|"}},
        {"KMail: flags and translations; groupware transports left out",
         {{".config/mailtransports",
           "[Transport 1]\nhost=ews\nidentifier=akonadi_ewsmta_resource_0\n[Transport 2]\n"
           "host[$e]=k.kde\nhost[de]=x.kde\nport=0025\nname=kde two\n"},
          {".config/emailidentities",
           "[Identity #0]\nEmail Address=a@k\nTransport=1\n"
           "[Identity #1]\nEmail Address=b@k\nTransport=kde two\n"}},
         {"KMail|b@k||k.kde|25|0|0|"}},
        {"GNOME Online Accounts: host:port, IPv6 addresses, mail switched off",
         {{".config/goa-1.0/accounts.conf",
           "[Account a]\nProvider=imap_smtp\nEmailAddress=a@g\nSmtpHost=[::1]:2525\n"
           "SmtpUseTls=true\n[Account b]\nProvider=imap_smtp\nMailEnabled=false\n"
           "SmtpHost=off.goa\n[Account c]\nProvider=imap_smtp\nSmtpHost=fe80::1\n"}},
         {"GNOME Online Accounts|a@g||::1|2525|0|1|", "GNOME Online Accounts|||fe80::1||0|0|"}},
        {"oversized file, FIFO and symlink loops passed over; msmtp's own default, unknown bases",
         {{".config/goa-1.0/accounts.conf", big_goa},
          {".config/msmtp/config", "<fifo>"},
          {".msmtprc",
           "account default\nhost d.m\nauth off\ntls\naccount b : nosuch\nhost b.m\nauth plain\n"},
          {".config/emailidentities", "<loop>"},
          {".config/evolution/sources", "<loop>"},
          {".thunderbird/profiles.ini", "<loop>"}},
         {"msmtp||*|d.m|587|0|1|", "msmtp|||b.m||1|0|"}},
    };
    for (const auto& [what, files, rows] : cases) {
        EXPECT_EQ(Found(files), rows) << what;
    }
}

}  // namespace
}  // namespace quillet
