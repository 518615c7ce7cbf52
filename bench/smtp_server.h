// The tests' SMTP server (aiosmtpd under /usr/bin/python3, plain SMTP on 127.0.0.1 at a free
// port), started for a benchmark and stopped when the object goes. It appends every accepted
// message to a file before it answers the end of DATA.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"

namespace quillet::bench {

struct AcceptedMail {
    std::string mail_from;
    std::vector<std::string> rcpt_to;
    std::string content;  // as it arrived: headers and body, CRLF line ends
};

class SmtpServer {
  public:
    SmtpServer();  // throws std::runtime_error when the server does not start

    int port() const { return port_; }
    // Every message accepted so far, in order of arrival.
    std::vector<AcceptedMail> Accepted() const;

  private:
    TempFolder work_;
    std::optional<ChildProcess> process_;
    int port_ = 0;
};

}  // namespace quillet::bench
