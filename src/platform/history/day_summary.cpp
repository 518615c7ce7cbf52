#include "platform/history/day_summary.h"

#include <limits>
#include <set>

#include "platform/history/history_cells.h"
#include "platform/history/history_export.h"

namespace quillet {
namespace {

bool IsOrderEvent(const HistoryRow& row) {
    for (const char* other : {"Connect", "Disconnect", "Alert", "Summary"}) {
        if (row.event == QLatin1String(other)) {
            return false;
        }
    }
    return !row.order_id.isEmpty();
}

}  // namespace

std::optional<DaySummary> ReadDaySummary(JournalReader& journal, const std::string& day,
                                         int64_t since_ms) {
    HistoryFilter filter;
    filter.span = TimeSpan{since_ms, std::numeric_limits<int64_t>::max()};
    filter.descending = false;
    const auto last_id = journal.LastId();
    if (!last_id) {
        return std::nullopt;
    }
    filter.last_id = *last_id;  // the counts and the record of the same rows
    const auto attempts = journal.AttemptsOfRows(filter);
    if (!attempts) {
        return std::nullopt;
    }
    DaySummary summary;
    std::set<QString> orders;
    std::string undelivered;
    const bool read = journal.ForEachRow(filter, 0, -1, [&](HistoryRow&& row) {
        if (!IsOrderEvent(row)) {
            return;
        }
        orders.insert(row.order_id);
        const bool waiting = row.mail_state == QLatin1String("waiting") ||
                             row.mail_state == QLatin1String("unsaved");
        const bool failed = row.mail_state == QLatin1String("failed");
        summary.delivered += row.mail_state == QLatin1String("delivered") ? 1 : 0;
        summary.waiting += waiting ? 1 : 0;
        summary.failed += failed ? 1 : 0;
        if (!waiting && !failed) {
            return;
        }
        QString reason = row.note;
        if (const auto found = attempts->find(row.id);
            found != attempts->end() && !found->second.empty()) {
            reason = found->second.back().reason;
        }
        undelivered += "Order " + row.order_id.toStdString() + " (" + row.event.toStdString() +
                       " at " + HistoryTime(row.at_ms, TimeStyle::kScreen).toStdString() +
                       "): " + (failed ? "failed" : "waiting") +
                       (reason.isEmpty() ? std::string() : ": " + reason.toStdString()) + "\n";
    });
    if (!read) {
        return std::nullopt;
    }
    summary.orders = static_cast<int>(orders.size());
    const std::optional<std::string> csv = HistoryText(journal, filter);
    if (!csv) {
        return std::nullopt;
    }
    summary.csv = *csv;
    summary.body = "Quillet's summary of " + day + ".\n\n" +
                   "Orders handled: " + std::to_string(summary.orders) + "\n" +
                   "Mails delivered: " + std::to_string(summary.delivered) + "\n" +
                   "Mails waiting: " + std::to_string(summary.waiting) + "\n" +
                   "Mails failed: " + std::to_string(summary.failed) + "\n";
    if (!undelivered.empty()) {
        summary.body += "\nNot delivered:\n" + undelivered;
    }
    summary.body +=
        "\nThe day's record is attached as CSV: every event, each followed by its mail's "
        "attempts.\n";
    return summary;
}

}  // namespace quillet
