// An SmtpTransport for tests of the forms: records each delivery and accepts it.
#pragma once

#include <vector>

#include "mail/smtp_transport.h"

namespace quillet::test {

class RecordingTransport : public SmtpTransport {
  public:
    SmtpResult Deliver(const SmtpDelivery& delivery) override {
        deliveries.push_back(delivery);
        return {};
    }
    std::vector<SmtpDelivery> deliveries;
};

}  // namespace quillet::test
