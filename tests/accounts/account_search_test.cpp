// "Search Accounts..." end to end: a home made by the test holds a Wine prefix (user.reg and
// Windows Mail's files) and the files of the desktop mail programs, searched through the real
// readers and the account dialog; and the store that reads user.reg, on its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "accounts/account_search.h"
#include "accounts/form_accounts.h"
#include "accounts/found_account.h"
#include "accounts/outlook_express_accounts.h"
#include "accounts/windows_mail_accounts.h"
#include "platform/accounts/account_services.h"
#include "platform/registry/wine_registry_store.h"
#include "settings/setup_dialog_slot.h"
#include "support/mail_doubles.h"
#include "support/memory_profile.h"
#include "support/recording_transport.h"
#include "support/registry_access.h"
#include "support/scripted_screen.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using Rows = std::vector<std::string>;  // the cells of each row joined by "|"
using Files = std::vector<std::pair<std::string, std::string>>;
using namespace std::string_literals;
using test::TempDir;
using test::WriteFile;

// The line(s) of a byte-list value: lower-case pairs, wrapped after column 76 with a trailing
// backslash and two blanks on the next line, as Wine wraps them.
std::string WineHexValue(const std::string& name, const std::string& type,
                         const std::string& bytes) {
    std::string line = "\"" + name + "\"=" + type + ":";
    size_t count = line.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(bytes[i]));
        line += pair;
        count += 2;
        if (i + 1 < bytes.size()) {
            line += ',';
            if (++count > 76) {
                line += "\\\n  ";
                count = 2;
            }
        }
    }
    return line + "\n";
}

// The bytes of a UTF-16 text with its terminating zero, low byte first.
std::string Utf16Z(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes + std::string(2, '\0');
}

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
            WriteFile(full, text);
        }
    }
    AccountEnvironment Environment() const { return {"", "", dir.path(), "tester"}; }
    TempDir dir;
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
    SetupDialogSlot slot{{transport, runner, file, screen, &sources}};
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
    if (::geteuid() != 0) {  // root would read it anyway
        home.Write(folder + "/f-locked.oeaccount", skipped);
        ::chmod(home.dir.Path(folder + "/f-locked.oeaccount").c_str(), 0);
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
            EXPECT_EQ(setup.screen.messages[0].text,
                      "Selected e-mail account requires authentication. Please enter your "
                      "account password.");
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

// A user.reg as Wine writes it, with the cases the reader has to get right.
std::string ReaderUserReg() {
    return R"(WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-1-2-3-1000

[Software\\Quillet\\Texts] 1700000000
"Escapes"="\\ \" \a\b\t\n\v\f\r\e \101\0102\3a\0b"
"Hex"="Caf\xe9 \x20ac \x00e91 \x41G \xq \x0416"
@="the default"
"Dup"="first"
"  Spaced name "  =  "value"

[Software\\Quillet\\Odd \[name\]] 1700000000

[Software\\Quillet\\Caf\xe9] 1700000000

[Software\\Quillet\\Orphan\\Child\\Leaf] 1700000000

[Software\\Quillet\\Numbers] 1700000000
"Max"=dword:ffffffff
"HexDword"=hex(4):19,00,00,00
"Binary"=hex:01,00,ab,0f,10
)" + WineHexValue("Wrapped", "hex", std::string(100, '\x11')) +
           R"(
[Software\\Quillet\\Broken 1700000000

[Software\\Quillet\\Mixed] 1700000000
"Unterminated"="abc
"BadHex"=hex:1ff,00
"Good"="kept"

[software\\quillet\\TEXTS] 1700000001
"DUP"="second"
)";
}

TEST(WineRegistryStoreTest, ReadsValuesAndKeysAsWineWritesThem) {
    for (const char* eol : {"\n", "\r\n"}) {
        TempDir dir;
        WriteFile(dir.Path("user.reg"), std::regex_replace(ReaderUserReg(), std::regex("\n"), eol));
        WineRegistryStore store(dir.Path("user.reg"));
        const std::tuple<const char*, const char*, std::string> cases[] = {
            {"Texts", "Escapes", "\\ \" \a\b\t\n\v\f\r\x1B A\b2\3a\0b"s},
            {"Texts", "Hex", "Caf\xC3\xA9 \xE2\x82\xAC \xC3\2511 AG xq ?"},  // ?: not Windows-1252
            {"Texts", "", "the default"},
            {"Texts", "Dup", "second"},  // the later of two, in another section of the same key
            {"texts", "  Spaced name ", "value"},
            {"Numbers", "Max", "4294967295"},
            {"Numbers", "HexDword", "25"},
            {"Numbers", "Binary", "0100AB0F10"},
            {"Numbers", "Wrapped", std::string(200, '1')},  // wrapped as Wine wraps
            {"Mixed", "Good", "kept"},                      // after lines that do not parse
        };
        for (const auto& [key, value, expected] : cases) {
            EXPECT_EQ(RegValueText(RegReadValue(store, HKEY_CURRENT_USER,
                                                "Software\\Quillet\\"s + key, value)),
                      expected)
                << key << " " << value << (eol[0] == '\r' ? " (CRLF)" : "");
        }
        const char* const subkeys[] = {"Caf\xC3\xA9", "Mixed", "Numbers", "Odd [name]",
                                       "Orphan",      "Texts", ""};
        for (int32_t i = 0; i < 7; ++i) {
            EXPECT_EQ(RegEnumSubkey(store, HKEY_CURRENT_USER, "Software\\Quillet", i), subkeys[i]);
        }
        EXPECT_EQ(RegEnumSubkey(store, 0x80000002, "Software", 0), "");  // another root
    }
}

TEST(WineRegistryStoreBlocksTest, LinesAcrossTheBlocksOfALargeFileAreAllRead) {
    // Far more than one block of the reader, with a line longer than a block.
    constexpr int kKeys = 20000;
    const std::string hex =
        "\"Long\"=hex:" + std::regex_replace(std::string(100000, '.'), std::regex("\\."), "ab,");
    std::string text = "WINE REGISTRY Version 2\n";
    for (int i = 0; i < kKeys; ++i) {
        text += "[K\\\\" + std::to_string(i) + "] 1\n\"V\"=\"" + std::to_string(i) + "\"\n" +
                (i == kKeys / 2 ? hex + "cd\n" : "");
    }
    TempDir dir;
    WriteFile(dir.Path("user.reg"), text);
    WineRegistryStore store(dir.Path("user.reg"));
    for (int i = 0; i < kKeys; ++i) {
        ASSERT_EQ(
            RegValueText(RegReadValue(store, HKEY_CURRENT_USER, "K\\" + std::to_string(i), "V")),
            std::to_string(i));
    }
    const auto long_value = store.QueryValue(HKEY_CURRENT_USER, "K\\10000", "Long");  // kKeys / 2
    EXPECT_EQ(long_value.value_or(RegistryData{}).bytes, std::string(100000, '\xAB') + '\xCD');
}

// However a registry is made, what it can make the reader hold and the dialog list is bounded:
// values over 1 MiB and lines over 4 MiB are passed over, and a source lists 1,000 accounts.
TEST(WineRegistryStoreBlocksTest, HugeValuesAndCountlessAccountsAreBounded) {
    const std::string accounts_key =
        "[Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts\\\\";
    std::string text = "WINE REGISTRY Version 2\n[Big] 1\n\"Hex\"=hex:";
    for (int i = 0; i < (1 << 20) / 8; ++i) {
        text += "ab,ab,ab,ab,ab,ab,ab,ab,\\\n  ";  // wrapped as Wine wraps
    }
    text += "cd\n\"Text\"=\"" + std::string((4 << 20) + 1, 'x') + "\"\n\"After\"=\"read\"\n";
    for (int i = 0; i < 1001; ++i) {
        text += accounts_key + std::to_string(i) + "] 1\n\"SMTP Server\"=\"smtp.example.com\"\n";
    }
    TempDir dir;
    WriteFile(dir.Path("user.reg"), text);
    WineRegistryStore store(dir.Path("user.reg"));
    EXPECT_FALSE(store.QueryValue(HKEY_CURRENT_USER, "Big", "Hex"));
    EXPECT_FALSE(store.QueryValue(HKEY_CURRENT_USER, "Big", "Text"));
    EXPECT_EQ(RegValueText(RegReadValue(store, HKEY_CURRENT_USER, "Big", "After")), "read");
    AccountTable accounts;
    GetOutlookExpressAccounts(store, accounts);
    EXPECT_EQ(accounts.AccountCount(), kMaxAccountsPerSource);
}

TEST(WineRegistryStoreFreshnessTest, EveryChangeToTheFileShowsAtTheNextCall) {
    TempDir dir;
    const std::string path = dir.Path("user.reg");
    WineRegistryStore whole(path), kept(path, {"\\k\\"});  // the kept key however spelled
    const auto read = [&] {
        const std::string text = RegValueText(RegReadValue(whole, HKEY_CURRENT_USER, "K", "V"));
        EXPECT_EQ(RegValueText(RegReadValue(kept, HKEY_CURRENT_USER, "K", "V")), text);
        return text;
    };
    const auto write = [](const std::string& file, const std::string& value, time_t seconds) {
        WriteFile(file, "WINE REGISTRY Version 2\n[K] 1\n\"V\"=\"" + value + "\"\n");
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    };
    write(path, "one", 1000);
    EXPECT_EQ(read(), "one");
    write(path, "two", 1001);  // same size, later time
    EXPECT_EQ(read(), "two");
    write(path, "three", 1001);  // other size, same time
    EXPECT_EQ(read(), "three");
    write(dir.Path("new.reg"), "fours", 1001);  // put in its place, same size and time
    ASSERT_EQ(std::rename(dir.Path("new.reg").c_str(), path.c_str()), 0);
    EXPECT_EQ(read(), "fours");
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(read(), "");  // no file
}

}  // namespace
}  // namespace quillet
