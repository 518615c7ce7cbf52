// The SQL that the History window reads the journal with: which rows a filter shows, in which
// order, a window of them, and where one row stands among them. Plain text and values, built
// here and run by JournalReader, so that no user text ever becomes part of a statement.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quillet {

// The History window's columns, in their order on the screen and in an export.
enum class HistoryColumn {
    kTime,
    kOrder,
    kEvent,
    kSymbol,
    kSide,
    kQuantity,
    kPrice,
    kMailState,
    kDeliveredAt,
    kServerReply,
};
inline constexpr int kHistoryColumnCount = 10;

// Instants from `from_ms` up to, not including, `until_ms`, in UTC milliseconds since 1970.
struct TimeSpan {
    int64_t from_ms = 0;
    int64_t until_ms = 0;
};

struct HistoryFilter {
    std::optional<TimeSpan> span;  // none: every day
    // Words separated by blanks; a row shows when each word is part of its order id, event,
    // symbol, side, order line, note, mail state, server reply, Message-ID or recipients
    // (letters A to Z in either case). No words: every row.
    std::string text;
    HistoryColumn sort = HistoryColumn::kTime;
    bool descending = true;
    // The rows the filter may show: ids up to this one (the journal as it was when the view was
    // last refreshed, so that rows written meanwhile do not shift the rows shown). None: all.
    std::optional<int64_t> last_id;
};

// A statement and the values of its "?" placeholders, in order.
struct SqlStatement {
    std::string sql;
    std::vector<std::variant<int64_t, std::string>> values;
};

// The newest row's id, 0 when there is none: one row, one column.
SqlStatement LastIdStatement();

// How many rows `filter` shows: one row, one column.
SqlStatement CountStatement(const HistoryFilter& filter);

// The rows `filter` shows, in its order (ties by id, in the same direction), from the
// `offset`th (0 is the first) and at most `limit` of them (a negative limit: all). Columns, in
// this order: id, at_ms, order_id, event, symbol, side, quantity, price, mail_state, note,
// delivered_ms (NULL until delivered), server_reply, line, and 1 when the row holds a message
// (else 0). See kHistoryRowColumns.
SqlStatement RowsStatement(const HistoryFilter& filter, int64_t offset, int64_t limit);
inline constexpr int kHistoryRowColumns = 14;

// Where row `id` stands among the rows `filter` shows (0 is the first): one row, one column;
// no row when the filter does not show it.
SqlStatement PositionStatement(const HistoryFilter& filter, int64_t id);

// The id of the newest row of order `order_id` up to `last_id` (all rows when none): one row,
// one column, NULL when the order has none.
SqlStatement LatestOfOrderStatement(const std::string& order_id, std::optional<int64_t> last_id);

// The whole composed message of row `id`: one row, one column; no row when there is no such row.
SqlStatement MessageStatement(int64_t id);

// The attempts to deliver row `id`'s mail, oldest first: at_ms, outcome, reason.
SqlStatement AttemptsStatement(int64_t id);

// The attempts of every row `filter` shows (its order and last_id apply, not its sort), by row
// and oldest first: event_id, at_ms, outcome, and the reason, or the server's reply when the
// attempt has no reason (a delivery).
SqlStatement AttemptsOfRowsStatement(const HistoryFilter& filter);

}  // namespace quillet
