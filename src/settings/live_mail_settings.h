// The live mail settings: one value, owned by one object for the whole run. The setup dialog's
// controls write it as they change; every mail takes a copy of it at the moment of its attempt.
// Reading it never loads a form, opens a message box or touches a file.
#pragma once

#include <utility>

#include "mail/mail_settings.h"

namespace quillet {

class LiveMailSettings {
  public:
    const MailSettings& Value() const { return value_; }
    void Set(MailSettings value) { value_ = std::move(value); }

  private:
    MailSettings value_;
};

}  // namespace quillet
