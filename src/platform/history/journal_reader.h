// The order journal (quillet-journal.sqlite), read only, through a Qt SQL connection of the
// reader's own, on the thread that made the reader. The program that writes the journal may
// write it meanwhile: each statement reads the rows committed when it began.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/history/history_query.h"

class QSqlQuery;

namespace quillet {

// One row of the journal's events as the History window shows it.
struct HistoryRow {
    int64_t id = 0;
    int64_t at_ms = 0;
    QString order_id;
    QString event;
    QString symbol;
    QString side;
    QString quantity;
    QString price;
    QString mail_state;  // "", "waiting", "unsaved", "delivered" or "failed"
    QString note;        // why the event made no line or mail
    std::optional<int64_t> delivered_ms;
    QString server_reply;
    QString line;
    bool has_message = false;
    QString source;  // "socket", "http", "fix", or "quillet" for its own mails
};

// One attempt to deliver a row's mail.
struct HistoryAttempt {
    int64_t at_ms = 0;
    QString outcome;
    QString reason;
};

class JournalReader {
  public:
    // Opens nothing yet: each call below opens the file first when it is not open.
    explicit JournalReader(QString path);
    ~JournalReader();
    JournalReader(const JournalReader&) = delete;
    JournalReader& operator=(const JournalReader&) = delete;

    const QString& path() const { return path_; }
    // Why the last call failed: the file is missing or not a journal, or a statement failed.
    // Empty after a call that worked.
    const QString& error() const { return error_; }

    // The newest row's id, 0 when there is none. Nothing on failure.
    std::optional<int64_t> LastId();
    // How many rows `filter` shows. Nothing on failure.
    std::optional<int64_t> Count(const HistoryFilter& filter);
    // Tells `row` of the rows `filter` shows from the `offset`th, at most `limit` (negative:
    // all), in the filter's order. False on failure, which may come after some rows.
    bool ForEachRow(const HistoryFilter& filter, int64_t offset, int64_t limit,
                    const std::function<void(HistoryRow&&)>& row);
    // Where row `id` stands among the rows `filter` shows (0 is the first); -1 when the filter
    // does not show it. Nothing on failure.
    std::optional<int64_t> Position(const HistoryFilter& filter, int64_t id);
    // The newest row of `order_id` up to `last_id` (all when none); 0 when it has none.
    // Nothing on failure.
    std::optional<int64_t> LatestOfOrder(const QString& order_id, std::optional<int64_t> last_id);
    // Row `id`'s whole message as stored (UTF-8); empty when it has none. Nothing on failure or
    // when there is no such row.
    std::optional<QByteArray> Message(int64_t id);
    // Row `id`'s attempts, oldest first. Nothing on failure.
    std::optional<std::vector<HistoryAttempt>> Attempts(int64_t id);
    // The attempts of every row `filter` shows, by row id, each oldest first (an attempt's
    // reason is the server's reply when it has none). Nothing on failure.
    std::optional<std::unordered_map<int64_t, std::vector<HistoryAttempt>>> AttemptsOfRows(
        const HistoryFilter& filter);

  private:
    bool Open();
    // Prepares and runs `statement` into `query`; false (error_ set) on failure.
    bool Run(const SqlStatement& statement, QSqlQuery& query);
    // The first column of the first row of `statement`: nothing on failure, a null value when
    // it gave no row.
    std::optional<QVariant> Single(const SqlStatement& statement);

    QString path_;
    QString connection_;  // this reader's connection name, while it is open
    QString error_;
};

}  // namespace quillet
