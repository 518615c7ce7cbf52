// What the History window shows in each column of a journal row, and what an export writes.
#pragma once

#include <QString>

#include "platform/history/history_query.h"
#include "platform/history/journal_reader.h"

namespace quillet {

// The column's title ("Time", "Order", ... "Server reply").
QString HistoryColumnTitle(HistoryColumn column);

// How times read: on the screen, local time to the second with its offset from UTC
// ("2026-12-07 14:03:09 (UTC-05:00)", as the mails' late line has it); in an
// export, local time to the millisecond with its offset from UTC
// ("2026-12-07T14:03:09.250-05:00", "...Z" in UTC).
enum class TimeStyle { kScreen, kExport };

// The text of `column` for `row`. The mail state reads "Delivered", "Waiting", "Failed" or "Not
// saved"; an event that sent no mail shows why (its note) or "No mail". "Delivered at" is empty
// until delivery. On the screen, the server's reply is one line (its lines joined by blanks);
// in an export, it is whole.
QString HistoryCellText(const HistoryRow& row, HistoryColumn column, TimeStyle style);

// A time in UTC milliseconds since 1970, as `style` has it.
QString HistoryTime(int64_t ms, TimeStyle style);

}  // namespace quillet
