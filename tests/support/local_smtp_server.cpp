#include "support/local_smtp_server.h"

#include <fcntl.h>
#include <poll.h>
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
#include <optional>

#include "platform/unique_fd.h"

extern char** environ;

namespace quillet::test {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(15);
constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kScript = QUILLET_TEST_SUPPORT_DIR "/smtp_test_server.py";

// The mode's name in the server's configuration, in the order of LocalSmtpServer::Mode.
constexpr const char* kModeNames[] = {"plain",        "starttls",         "implicit_tls",
                                      "silent",       "stall_after_data", "drop_during_data",
                                      "stall_on_quit"};

// Reads the first line the server writes, waiting at most until `deadline`. Nothing when the
// server ends or says nothing in time.
std::optional<std::string> ReadFirstLine(int fd, std::chrono::steady_clock::time_point deadline) {
    std::string line;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd waiting{fd, POLLIN, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

}  // namespace

LocalSmtpServer::LocalSmtpServer(Config config) {
    std::string dir_template =
        (std::filesystem::temp_directory_path() / "quillet-smtp-XXXXXX").string();
    if (mkdtemp(dir_template.data()) == nullptr) {
        error_ = "cannot create a work folder for the SMTP server";
        return;
    }
    work_dir_ = dir_template;
    ca_file_ = work_dir_ + "/ca.pem";

    const nlohmann::json settings = {
        {"mode", kModeNames[static_cast<int>(config.mode)]},
        {"require_auth", config.require_auth},
        {"offer_auth", config.offer_auth},
        {"user", config.user},
        {"password", config.password},
        {"refused_recipients", config.refused_recipients},
        {"port", config.port},
        {"idle_limit", config.idle_limit},
        {"mails_per_connection", config.mails_per_connection},
    };
    std::ofstream(work_dir_ + "/config.json") << settings.dump();

    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) {
        error_ = "cannot create a pipe for the SMTP server";
        return;
    }
    UniqueFd read_end(pipe_ends[0]);
    UniqueFd write_end(pipe_ends[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Its own process group, so that stopping it also stops an openssl it may be running.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::string python = kPython;
    std::string script = kScript;
    char* argv[] = {python.data(), script.data(), work_dir_.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, kPython, &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error_ = std::string("cannot start ") + kPython + ": " + std::strerror(spawned);
        return;
    }
    pid_ = pid;
    write_end.reset();  // only the server holds the write end now, so its end shows as end of file

    const auto line = ReadFirstLine(read_end.get(), std::chrono::steady_clock::now() + kStartLimit);
    int port = 0;
    if (line && line->rfind("READY ", 0) == 0) {
        port = std::atoi(line->c_str() + 6);
    }
    if (port <= 0 || port > 65535) {
        error_ = "the SMTP server did not start (is python3-aiosmtpd installed? first line: \"" +
                 line.value_or("<none>") + "\")";
        return;
    }
    port_ = port;
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
    std::string line;
    while (std::getline(in, line)) {
        const auto record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_discarded()) {
            continue;
        }
        ReceivedMail mail;
        mail.mail_from = record.value("mail_from", "");
        mail.rcpt_to = record.value("rcpt_tos", std::vector<std::string>{});
        mail.auth_user = record.value("auth_user", "");
        mail.content = FromHex(record.value("content_hex", ""));
        mails.push_back(std::move(mail));
    }
    return mails;
}

std::string LocalSmtpServer::Events() const {
    std::ifstream in(work_dir_ + "/events");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace quillet::test
