// The program's own mails, the alarm's alerts and the daily summary: to whom they go, and their
// way through the outbox, which keeps, retries and journals them as it does an order mail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/journal/journal.h"
#include "app/outbox/outbox.h"
#include "mail/mail_settings.h"
#include "mail/recipient_rules.h"

namespace quillet {

enum class ReportKind { kAlert, kSummary };

// The recipients a report of `kind` goes to, by their rules (RouteEvent with the event "Alert"
// or "Summary"; without rules, every recipient): one group per form, full first.
std::vector<RecipientGroup> ReportGroups(const MailSettings& settings, ReportKind kind);

// Gives the report to `outbox`, one mail per group of ReportGroups, each with a journal row of
// its own (event "Alert" or "Summary", from source "quillet", its subject as the row's line)
// when `journal` is given: the full form with `body` and `attachment` if any, the short form
// its subject alone. Nothing before e-mail is set up (MailNotSetUp), nor when no recipient's
// rule takes the report; false then.
bool SendReport(Outbox& outbox, Journal* journal, const MailSettings& settings, ReportKind kind,
                const std::string& subject, const std::string& body, int64_t now_ms,
                std::optional<MailAttachment> attachment = std::nullopt);

}  // namespace quillet
