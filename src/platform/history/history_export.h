// The History window's rows as a CSV file (RFC 4180, UTF-8, CRLF): a title record, then one
// record per row the filter shows, in its order, with the columns of the window and times in
// the export's style (see history_cells.h). After a row whose mail was tried come its attempts,
// oldest first, one record each: Time is the attempt's, Order the row's, Event "Attempt", Mail
// the attempt's outcome ("Waiting", "Delivered", "Failed"), Server reply its reason (for a
// delivery, the server's reply), the other fields empty.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "platform/history/journal_reader.h"

namespace quillet {

// The records as text; nothing when the journal cannot be read (journal.error() says why).
// With `separator` '\t', plain lines of fields joined by tabs (a tab or line break in a field
// written as a blank), for a person at a terminal.
std::optional<std::string> HistoryText(JournalReader& journal, const HistoryFilter& filter,
                                       char separator = ',');

// Writes the file at `path` whole or not at all (mode 0600: it holds the user's orders). Gives
// the reason when the journal cannot be read or the file cannot be written; `path` is then as
// it was.
std::optional<QString> ExportHistoryCsv(JournalReader& journal, const HistoryFilter& filter,
                                        const QString& path);

// Writes `message` to `path` as it is (an .eml file), whole or not at all, mode 0600; gives the
// reason when it could not.
std::optional<QString> SaveMessageFile(const QByteArray& message, const QString& path);

}  // namespace quillet
