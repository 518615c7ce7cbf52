// Whether the live settings are complete enough to mail with.
#pragma once

#include <optional>
#include <string>

#include "mail/mail_settings.h"

namespace quillet {

// The first problem with `settings`, in the order a user fixes them, as the status line shows
// it ("Error: ..."); empty when there is none. A port that is no whole number within 32 bits
// is a problem of its own: it would otherwise wrap round to another port.
std::optional<std::string> FirstSettingsError(const MailSettings& settings);

// The recipients joined by commas, in list order, as they stand.
std::string JoinRecipients(const MailSettings& settings);

}  // namespace quillet
