// bench-account-search [RUNS]
//
// "Search Accounts..." over a large Wine prefix: a user.reg of about 50 MB with 100 Outlook
// Express mail accounts among some 200,000 other keys (see user_reg_generator.h), searched with
// the program's own services. Each run makes the services afresh and times the first search
// (the file read and parsed) and a second one (the parsed file kept, as the program keeps it
// while the file is unchanged), then takes the heap the services still hold for the registry.
// The file was just written, so it is in the page cache.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "accounts/account_search.h"
#include "bench_table.h"
#include "heap_usage.h"
#include "platform/accounts/account_services.h"
#include "temp_folder.h"
#include "user_reg_generator.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultRuns = 5;
constexpr double kGoalMs = 250;
constexpr double kHeldGoalMb = 10;

int Run(int runs) {
    TempFolder prefix;
    const UserRegShape shape;
    const std::string text = GenerateUserReg(shape);
    const size_t key_count = static_cast<size_t>(std::count(text.begin(), text.end(), '['));
    WriteWholeFile(prefix.Path("user.reg"), text);

    std::vector<double> first_ms, again_ms;
    double held_bytes = 0;
    for (int run = 0; run < runs; ++run) {
        const size_t heap_before = HeapBytesInUse();
        AccountServices services(AccountEnvironment{"", prefix.path(), prefix.path(), "trader"});
        const auto start = std::chrono::steady_clock::now();
        const AccountTable first = SearchAccounts(services.Sources());
        const auto middle = std::chrono::steady_clock::now();
        const AccountTable again = SearchAccounts(services.Sources());
        const auto end = std::chrono::steady_clock::now();
        if (first.AccountCount() != shape.mail_accounts ||
            again.AccountCount() != shape.mail_accounts) {
            throw std::runtime_error("the search found " + std::to_string(first.AccountCount()) +
                                     " accounts, not " + std::to_string(shape.mail_accounts));
        }
        first_ms.push_back(Milliseconds(middle - start));
        again_ms.push_back(Milliseconds(end - middle));
        held_bytes = static_cast<double>(HeapBytesInUse()) - static_cast<double>(heap_before);
    }

    const double first = Median(first_ms), again = Median(again_ms);
    const std::string goal = "≤ " + Fixed(kGoalMs, 0, "ms");
    PrintRow("Account search: user.reg size / keys / mail accounts",
             Fixed(static_cast<double>(text.size()) / 1e6, 1, "MB") + " / " +
                 std::to_string(key_count) + " / " + std::to_string(shape.mail_accounts));
    PrintRow(
        "Account search: first call, file read and parsed (median of " + std::to_string(runs) + ")",
        Fixed(first, 0, "ms"), goal, first <= kGoalMs);
    PrintRow("Account search: repeated call, file unchanged (median)", Fixed(again, 2, "ms"), goal,
             again <= kGoalMs);
    const double held_mb = held_bytes / 1e6;
    PrintRow("Account search: registry held in memory after the search", Fixed(held_mb, 2, "MB"),
             "≤ " + Fixed(kHeldGoalMb, 0, "MB"), held_mb <= kHeldGoalMb);
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : quillet::bench::kDefaultRuns;
    try {
        return quillet::bench::Run(runs > 0 ? runs : quillet::bench::kDefaultRuns);
    } catch (const std::exception& error) {
        std::cerr << "bench-account-search: " << error.what() << '\n';
        return 1;
    }
}
