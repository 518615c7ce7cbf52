#include "support/local_smtp_server.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

extern char** environ;

namespace quillet::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kScript = QUILLET_TEST_SUPPORT_DIR "/smtp_test_server.py";

// The mode's name in the server's configuration, in the order of LocalSmtpServer::Mode.
constexpr const char* kModeNames[] = {"plain",         "starttls",         "implicit_tls",
                                      "silent",        "stall_after_data", "drop_during_data",
                                      "stall_on_quit", "stall_on_rcpt"};

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

}  // namespace

LocalSmtpServer::LocalSmtpServer(Config config) {
    work_dir_ = (std::filesystem::temp_directory_path() / "quillet-smtp-XXXXXX").string();
    if (mkdtemp(work_dir_.data()) == nullptr) {
        work_dir_.clear();
        error_ = "cannot create a work folder for the SMTP server";
        return;
    }

    const nlohmann::json settings = {
        {"mode", kModeNames[static_cast<int>(config.mode)]},
        {"require_auth", config.require_auth},
        {"offer_auth", config.offer_auth},
        {"refused_recipients", config.refused_recipients},
        {"deferred_recipients", config.deferred_recipients},
        {"deferred_texts", config.deferred_texts},
        {"port", config.port},
        {"idle_limit", config.idle_limit},
        {"mails_per_connection", config.mails_per_connection},
        {"token", config.token},
        {"data_reply_delay", config.data_reply_delay},
        {"replies", config.replies},
    };
    std::ofstream(work_dir_ + "/config.json") << settings.dump();

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so that stopping it also stops an openssl it may be running.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    char* argv[] = {const_cast<char*>(kPython), const_cast<char*>(kScript), work_dir_.data(),
                    nullptr};
    const int spawned = posix_spawn(&pid_, kPython, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        pid_ = -1;
        error_ = std::string("cannot start ") + kPython + ": " + std::strerror(spawned);
        return;
    }
    // The server writes its port once it listens; one that ends before has failed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!(std::ifstream(work_dir_ + "/port") >> port_) &&
           std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (port_ <= 0 || port_ > 65535) {
        port_ = 0;
        error_ = "the SMTP server did not start (is python3-aiosmtpd installed?)";
    }
}

LocalSmtpServer::~LocalSmtpServer() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (!work_dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(work_dir_, ignored);
    }
}

std::vector<ReceivedMail> LocalSmtpServer::Received() const {
    std::vector<ReceivedMail> mails;
    std::ifstream in(work_dir_ + "/received.jsonl", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const auto record = nlohmann::json::parse(line, nullptr, false);
        if (!record.is_discarded()) {
            mails.push_back({record.value("mail_from", ""),
                             record.value("rcpt_tos", std::vector<std::string>{}),
                             record.value("auth_user", ""),
                             FromHex(record.value("content_hex", ""))});
        }
    }
    return mails;
}

std::string LocalSmtpServer::Events() const {
    std::ifstream in(work_dir_ + "/events");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace quillet::test
