// bench-desktop-accounts [RUNS]
//
// "Search Accounts..." over a home holding 50 accounts in each of the five desktop mail
// programs (Thunderbird, Evolution, KMail, GNOME Online Accounts, msmtp), written in their own
// formats, searched with the program's own services. The files were just written, so they are
// in the page cache; each run makes the services afresh, as each opening of the dialog does.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "accounts/account_search.h"
#include "bench_table.h"
#include "platform/accounts/account_services.h"
#include "temp_folder.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultRuns = 20;
constexpr int kAccountsPerProgram = 50;
constexpr double kGoalMs = 100;

void Write(const TempFolder& home, const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(home.Path(path)).parent_path());
    WriteWholeFile(home.Path(path), text);
}

void WriteHome(const TempFolder& home) {
    std::string prefs, accounts, servers;
    std::string kmail_transports, kmail_identities, goa, msmtp = "defaults\nauth on\ntls on\n";
    Write(home, ".thunderbird/profiles.ini", "[Profile0]\nName=default\nPath=p.default\n");
    for (int i = 0; i < kAccountsPerProgram; ++i) {
        const std::string n = std::to_string(i);
        const std::string user = "user" + n + "@example.org";
        accounts += (i > 0 ? "," : "") + std::string("account") + n;
        servers += (i > 0 ? "," : "") + std::string("smtp") + n;
        prefs += "user_pref(\"mail.account.account" + n + ".identities\", \"id" + n + "\");\n" +
                 "user_pref(\"mail.identity.id" + n + ".fullName\", \"User " + n + "\");\n" +
                 "user_pref(\"mail.identity.id" + n + ".smtpServer\", \"smtp" + n + "\");\n" +
                 "user_pref(\"mail.identity.id" + n + ".useremail\", \"" + user + "\");\n" +
                 "user_pref(\"mail.smtpserver.smtp" + n + ".hostname\", \"smtp" + n +
                 ".example.org\");\n" + "user_pref(\"mail.smtpserver.smtp" + n +
                 ".port\", 587);\n" + "user_pref(\"mail.smtpserver.smtp" + n + ".try_ssl\", 2);\n" +
                 "user_pref(\"mail.smtpserver.smtp" + n + ".username\", \"" + user + "\");\n";
        Write(home, ".config/evolution/sources/identity" + n + ".source",
              "[Data Source]\nDisplayName=" + user +
                  "\nEnabled=true\n\n[Mail Identity]\nAddress=" + user + "\nName=User " + n +
                  "\n\n[Mail Submission]\nTransportUid=transport" + n + "\n");
        Write(home, ".config/evolution/sources/transport" + n + ".source",
              "[Data Source]\nEnabled=true\n\n[Authentication]\nHost=smtp" + n +
                  ".example.org\nMethod=PLAIN\nPort=587\nUser=" + user +
                  "\n\n[Mail Transport]\nBackendName=smtp\n\n[Security]\n"
                  "Method=starttls-on-standard-port\n");
        kmail_transports += "[Transport " + n + "]\nauth=true\nencryption=TLS\nhost=smtp" + n +
                            ".example.org\nid=" + n + "\nname=smtp" + n +
                            "\nport=587\nuser=" + user + "\n\n";
        kmail_identities += "[Identity #" + n + "]\nEmail Address=" + user + "\nName=User " + n +
                            "\nTransport=" + n + "\nuoid=" + n + "\n\n";
        goa += "[Account account_" + n + "]\nProvider=imap_smtp\nEmailAddress=" + user +
               "\nName=User " + n + "\nSmtpHost=smtp" + n +
               ".example.org:587\nSmtpUseAuth=true\nSmtpUserName=" + user +
               "\nSmtpUseSsl=false\nSmtpUseTls=true\n\n";
        msmtp += "account a" + n + "\nhost smtp" + n + ".example.org\nport 587\nfrom " + user +
                 "\nuser " + user + "\n\n";
    }
    Write(home, ".thunderbird/p.default/prefs.js",
          prefs + "user_pref(\"mail.accountmanager.accounts\", \"" + accounts + "\");\n" +
              "user_pref(\"mail.smtpservers\", \"" + servers + "\");\n");
    Write(home, ".config/mailtransports", kmail_transports);
    Write(home, ".config/emailidentities", kmail_identities);
    Write(home, ".config/goa-1.0/accounts.conf", goa);
    Write(home, ".config/msmtp/config", msmtp);
}

int Run(int runs) {
    TempFolder home;
    WriteHome(home);
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        AccountServices services(AccountEnvironment{"", home.Path("no-prefix"), home.path(),
                                                    "trader", home.Path(".config")});
        const auto start = std::chrono::steady_clock::now();
        const AccountTable table = SearchAccounts(services.Sources());
        const auto end = std::chrono::steady_clock::now();
        if (table.AccountCount() != 5 * kAccountsPerProgram) {
            throw std::runtime_error("the search found " + std::to_string(table.AccountCount()) +
                                     " accounts, not " + std::to_string(5 * kAccountsPerProgram));
        }
        ms.push_back(Milliseconds(end - start));
    }
    const double median = Median(ms);
    const double worst = Percentile(ms, 100);
    const std::string goal = "≤ " + Fixed(kGoalMs, 0, "ms");
    PrintRow("Desktop account search: 5 programs × " + std::to_string(kAccountsPerProgram) +
                 " accounts, median of " + std::to_string(runs),
             Fixed(median, 2, "ms"), goal, median <= kGoalMs);
    PrintRow("Desktop account search: slowest run", Fixed(worst, 2, "ms"), goal, worst <= kGoalMs);
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : quillet::bench::kDefaultRuns;
    try {
        return quillet::bench::Run(runs > 0 ? runs : quillet::bench::kDefaultRuns);
    } catch (const std::exception& error) {
        std::cerr << "bench-desktop-accounts: " << error.what() << '\n';
        return 1;
    }
}
