// bench-user-reg OUTPUT [MEGABYTES [MAIL-ACCOUNTS]]
//
// Writes the large user.reg the account-search benchmark searches (50 MB, 100 Outlook Express
// mail accounts by default), for a look at it or a search by hand.
#include <cstdlib>
#include <iostream>

#include "temp_folder.h"
#include "user_reg_generator.h"

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 4) {
        std::cerr << "usage: bench-user-reg OUTPUT [MEGABYTES [MAIL-ACCOUNTS]]\n";
        return 2;
    }
    quillet::bench::UserRegShape shape;
    if (argc > 2) {
        shape.target_bytes = static_cast<size_t>(std::atol(argv[2])) * 1'000'000;
    }
    if (argc > 3) {
        shape.mail_accounts = std::atoi(argv[3]);
    }
    try {
        quillet::bench::WriteWholeFile(argv[1], quillet::bench::GenerateUserReg(shape));
    } catch (const std::exception& error) {
        std::cerr << "bench-user-reg: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
