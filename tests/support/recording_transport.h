// An SmtpTransport for tests of the forms: records each delivery and answers with `code`.
#pragma once

#include <vector>

#include "mail/smtp_transport.h"

namespace quillet::test {

class RecordingTransport : public SmtpTransport {
  public:
    SmtpResult Deliver(const SmtpDelivery& delivery) override {
        deliveries.push_back(delivery);
        return {code, code == 0 ? "" : "refused"};
    }
    std::vector<SmtpDelivery> deliveries;
    int code = 0;
};

}  // namespace quillet::test
