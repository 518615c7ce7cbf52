#include "platform/history/history_export.h"

#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/history/history_cells.h"
#include "support/csv.h"

namespace quillet {
namespace {

constexpr mode_t kPrivateFile = 0600;

std::optional<QString> WriteWhole(const QString& path, std::string_view content) {
    if (const auto error = WriteFileAtomically(path.toStdString(), content, kPrivateFile)) {
        return QString::fromStdString(*error);
    }
    return std::nullopt;
}

// Appends one plain line: the fields joined by tabs, with tabs and line breaks in them as blanks.
void AppendTabbedLine(std::string& out, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        out += i > 0 ? "\t" : "";
        for (const char c : fields[i]) {
            out += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
        }
    }
    out += '\n';
}

}  // namespace

std::optional<std::string> HistoryText(JournalReader& journal, const HistoryFilter& filter,
                                       char separator) {
    const auto append = separator == '\t' ? &AppendTabbedLine : &AppendCsvRecord;
    std::string csv;
    std::vector<std::string> fields(kHistoryColumnCount);
    for (int c = 0; c < kHistoryColumnCount; ++c) {
        fields[static_cast<size_t>(c)] =
            HistoryColumnTitle(static_cast<HistoryColumn>(c)).toStdString();
    }
    append(csv, fields);
    const auto attempts = journal.AttemptsOfRows(filter);
    if (!attempts) {
        return std::nullopt;
    }
    const auto append_row = [&](const HistoryRow& row) {
        for (int c = 0; c < kHistoryColumnCount; ++c) {
            fields[static_cast<size_t>(c)] =
                HistoryCellText(row, static_cast<HistoryColumn>(c), TimeStyle::kExport)
                    .toStdString();
        }
        append(csv, fields);
    };
    const bool read = journal.ForEachRow(filter, 0, -1, [&](HistoryRow&& row) {
        append_row(row);
        const auto found = attempts->find(row.id);
        if (found == attempts->end()) {
            return;
        }
        for (const HistoryAttempt& attempt : found->second) {
            HistoryRow attempt_row;
            attempt_row.at_ms = attempt.at_ms;
            attempt_row.order_id = row.order_id;
            attempt_row.event = QStringLiteral("Attempt");
            attempt_row.mail_state = attempt.outcome;
            attempt_row.server_reply = attempt.reason;
            append_row(attempt_row);
        }
    });
    if (!read) {
        return std::nullopt;
    }
    return csv;
}

std::optional<QString> ExportHistoryCsv(JournalReader& journal, const HistoryFilter& filter,
                                        const QString& path) {
    const std::optional<std::string> csv = HistoryText(journal, filter);
    if (!csv) {
        return journal.error();
    }
    return WriteWhole(path, *csv);
}

std::optional<QString> SaveMessageFile(const QByteArray& message, const QString& path) {
    return WriteWhole(path,
                      std::string_view(message.constData(), static_cast<size_t>(message.size())));
}

}  // namespace quillet
