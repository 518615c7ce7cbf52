#include "app/watch/report_mail.h"

#include <optional>
#include <utility>

#include "mail/settings_check.h"

namespace quillet {

MailSettings ReportSettings(MailSettings settings, ReportKind /*kind*/) {
    return settings;
}

bool SendReport(Outbox& outbox, Journal* journal, const MailSettings& settings, ReportKind kind,
                const std::string& subject, const std::string& body, int64_t now_ms,
                std::optional<MailAttachment> attachment) {
    const MailSettings chosen = ReportSettings(settings, kind);
    if (MailNotSetUp(chosen)) {
        return false;
    }
    std::optional<JournalEventRecord> row;
    if (journal != nullptr) {
        row.emplace();
        row->at_ms = now_ms;
        row->source = "quillet";
        row->event = kind == ReportKind::kAlert ? "Alert" : "Summary";
        row->facts = Disconnect{};  // no fields of an event: "{}"
        row->line = subject;
    }
    outbox.Send(std::nullopt, "", subject, body, chosen, nullptr, std::move(row), {}, {},
                chosen.send_to, std::move(attachment));
    return true;
}

}  // namespace quillet
