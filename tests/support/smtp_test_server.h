// The SMTP server for tests: a LocalSmtpServer whose failure to start fails the test.
#pragma once

#include <gtest/gtest.h>

#include <utility>

#include "support/local_smtp_server.h"

namespace quillet::test {

class SmtpTestServer : public LocalSmtpServer {
  public:
    explicit SmtpTestServer(Config config) : LocalSmtpServer(std::move(config)) {
        if (!error().empty()) {
            ADD_FAILURE() << error();
        }
    }
};

}  // namespace quillet::test
