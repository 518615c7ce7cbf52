#include "installed_quillet.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "support/base64.h"

namespace quillet::bench {
namespace {

std::string Stored(const std::string& key, const std::string& value) {
    return Base64EncodeForINI(key) + "=" + Base64EncodeForINI(value) + "\r\n";
}

}  // namespace

InstalledQuillet::InstalledQuillet(int smtp_port, bool ssl, std::string ca_file,
                                   std::vector<std::pair<std::string, std::string>> environment)
    : ca_file_(std::move(ca_file)), environment_(std::move(environment)) {
    // $QUILLET_BENCH_PROGRAM measures another build of the program (an earlier one, say).
    const char* other = std::getenv("QUILLET_BENCH_PROGRAM");
    std::filesystem::copy_file(other != nullptr && *other != '\0' ? other : QUILLET_PATH,
                               program());
    std::filesystem::permissions(program(), std::filesystem::perms::owner_all);
    WriteWholeFile(folder_.Path("quillet.ini"),
                   "[Quillet]\r\n" + Stored("txtDisplayName", "Order Desk") +
                       Stored("txtEmail", "desk@example.com") +
                       Stored("txtSMTPserver", "127.0.0.1") +
                       Stored("txtPort", std::to_string(smtp_port)) +
                       Stored("chkSSL", ssl ? "1" : "0") + Stored("lstSendTo.ListCount", "2") +
                       Stored("File1", "broker@example.com") + Stored("File2", "me@example.org"));
}

std::vector<std::pair<std::string, std::string>> InstalledQuillet::Environment() const {
    std::vector<std::pair<std::string, std::string>> environment{{"QT_QPA_PLATFORM", "offscreen"},
                                                                 {"QUILLET_SOCKET", socket()}};
    if (!ca_file_.empty()) {
        environment.emplace_back("SSL_CERT_FILE", ca_file_);
    }
    environment.insert(environment.end(), environment_.begin(), environment_.end());
    return environment;
}

ChildProcess InstalledQuillet::Start(bool pipe_stderr) const {
    ChildOptions options;
    options.environment = Environment();
    options.pipe_stderr = pipe_stderr;
    return ChildProcess({program()}, options);
}

ControlClient InstalledQuillet::Connect(std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        try {
            return ControlClient(socket());
        } catch (const std::runtime_error&) {
            // Not there yet, or bound but not yet listening.
            if (std::chrono::steady_clock::now() >= deadline) {
                throw;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace quillet::bench
