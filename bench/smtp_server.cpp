#include "smtp_server.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace quillet::bench {
namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);

std::string FromHex(const std::string& hex) {
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

}  // namespace

SmtpServer::SmtpServer() {
    WriteWholeFile(work_.Path("config.json"),
                   R"({"mode": "plain", "require_auth": false, "user": "", "password": "",)"
                   R"( "refused_recipients": []})");
    ChildOptions options;
    options.pipe_stdout = true;
    process_.emplace(
        std::vector<std::string>{"/usr/bin/python3", QUILLET_SMTP_SERVER_SCRIPT, work_.path()},
        options);
    std::string buffer;
    const auto line = ReadLine(process_->stdout_fd(), buffer, kStartLimit);
    if (!line || line->rfind("READY ", 0) != 0) {
        throw std::runtime_error("the SMTP server did not start (is python3-aiosmtpd installed?)");
    }
    port_ = std::stoi(line->substr(6));
}

std::vector<AcceptedMail> SmtpServer::Accepted() const {
    std::vector<AcceptedMail> mails;
    std::ifstream in(work_.Path("received.jsonl"), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const auto record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_discarded()) {
            continue;
        }
        mails.push_back(AcceptedMail{record.value("mail_from", ""),
                                     record.value("rcpt_tos", std::vector<std::string>{}),
                                     FromHex(record.value("content_hex", ""))});
    }
    return mails;
}

}  // namespace quillet::bench
