// Arbitrary text as an msmtp configuration. Every account has a name, settings come out as
// well-formed UTF-8, and an account defined on the lines after the text is read whatever the
// text holds (unless it has its fill of accounts).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "accounts/msmtp_config.h"
#include "fuzz_check.h"
#include "support/utf8.h"

using quillet::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto accounts = quillet::ReadMsmtpConfig(text);
    for (const quillet::MsmtpAccount& account : accounts) {
        Check(!account.name.empty(), "every account has a name");
        for (const std::string* setting : {&account.host, &account.from, &account.user}) {
            Check(quillet::MendUtf8(*setting) == *setting, "settings are well-formed UTF-8");
        }
    }
    if (accounts.size() + 1 >= quillet::kMaxMsmtpAccounts) {
        return 0;  // the file has its fill of accounts
    }
    const auto after = quillet::ReadMsmtpConfig(text + "\naccount fuzz_check\nhost \"h\\\"\"\n");
    Check(!after.empty() && after.back().name == "fuzz_check" && after.back().host == "h\"",
          "reading recovers at the next account");
    return 0;
}
