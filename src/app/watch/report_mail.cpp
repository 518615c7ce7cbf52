#include "app/watch/report_mail.h"

#include <optional>
#include <utility>

#include "mail/settings_check.h"

namespace quillet {

std::vector<RecipientGroup> ReportGroups(const MailSettings& settings, ReportKind kind) {
    return RouteEvent(kind == ReportKind::kAlert ? MailEvent::kAlert : MailEvent::kSummary,
                      std::nullopt, std::nullopt, settings.send_to, settings.rules);
}

bool SendReport(Outbox& outbox, Journal* journal, const MailSettings& settings, ReportKind kind,
                const std::string& subject, const std::string& body, int64_t now_ms,
                std::optional<MailAttachment> attachment) {
    const std::vector<RecipientGroup> groups = ReportGroups(settings, kind);
    if (MailNotSetUp(settings) || groups.empty()) {
        return false;
    }
    for (const RecipientGroup& group : groups) {
        std::optional<JournalEventRecord> row;
        if (journal != nullptr) {
            row.emplace();
            row->at_ms = now_ms;
            row->source = "quillet";
            row->event = kind == ReportKind::kAlert ? "Alert" : "Summary";
            row->facts = Disconnect{};  // no fields of an event: "{}"
            row->line = subject;
        }
        MailSettings chosen = settings;
        chosen.send_to = group.send_to;
        outbox.Send(std::nullopt, "", group.short_form ? CutToCharacters(subject, 160) : subject,
                    group.short_form ? "" : body, chosen, nullptr, std::move(row), {}, {},
                    group.send_to, group.short_form ? std::nullopt : attachment);
    }
    return true;
}

}  // namespace quillet
