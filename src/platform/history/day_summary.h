// The daily summary's text and its attachment, read from the journal: the counts of the day's
// orders and mails, each mail not delivered with its order and reason, and the day's record as
// `quillet --history --csv --since DAY` prints it (HistoryText, with the attempts).
#pragma once

#include <optional>
#include <string>

#include "platform/history/journal_reader.h"

namespace quillet {

struct DaySummary {
    int orders = 0;     // orders handled: distinct order ids of the day's order events
    int delivered = 0;  // their mails delivered
    int waiting = 0;    // waiting, or not saved
    int failed = 0;
    std::string body;  // the mail's text: the counts, then each mail waiting or failed
    std::string csv;   // the day's record, from `since_ms` on
};

// The summary of local day `day` ("2026-12-10"), whose first instant is `since_ms` (UTC
// milliseconds). The program's own mails (alerts, summaries) and Connect and Disconnect are
// not counted. Nothing when the journal cannot be read (journal.error() says why). Reads on the
// calling thread.
std::optional<DaySummary> ReadDaySummary(JournalReader& journal, const std::string& day,
                                         int64_t since_ms);

}  // namespace quillet
