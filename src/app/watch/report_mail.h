// The program's own mails, the alarm's alerts and the daily summary: to whom they go, and their
// way through the outbox, which keeps, retries and journals them as it does an order mail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/journal/journal.h"
#include "app/outbox/outbox.h"
#include "mail/mail_settings.h"

namespace quillet {

enum class ReportKind { kAlert, kSummary };

// The settings a report of `kind` goes out with: those given, with the recipients it goes to
// (today every recipient of the list, whatever the kind).
MailSettings ReportSettings(MailSettings settings, ReportKind kind);

// Gives the report to `outbox`, composed with ReportSettings of `settings`, with a journal row
// of its own (event "Alert" or "Summary", from source "quillet", its subject as the row's line)
// when `journal` is given, and `attachment` if any. Nothing before e-mail is set up
// (MailNotSetUp); false then.
bool SendReport(Outbox& outbox, Journal* journal, const MailSettings& settings, ReportKind kind,
                const std::string& subject, const std::string& body, int64_t now_ms,
                std::optional<MailAttachment> attachment = std::nullopt);

}  // namespace quillet
