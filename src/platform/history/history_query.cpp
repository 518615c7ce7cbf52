#include "platform/history/history_query.h"

namespace quillet {
namespace {

// The columns a word of the text filter is looked for in.
constexpr const char* kSearched[] = {"order_id",   "event",     "symbol",     "side",
                                     "line",       "note",      "mail_state", "server_reply",
                                     "message_id", "recipients"};

// An order id of digits only sorts as a number (by its length, then its digits); other ids
// after those, as text.
constexpr const char* kOrderKeys[] = {
    "(order_id GLOB '*[^0-9]*' OR order_id = '')",
    "CASE WHEN order_id GLOB '*[^0-9]*' THEN 0 ELSE length(order_id) END", "order_id"};

// What each column sorts by: the value behind what it shows. Quantities and prices are kept as
// shown, so they sort by the number they begin with (either decimal separator), then as text.
std::vector<std::string> SortKeys(HistoryColumn column) {
    switch (column) {
        case HistoryColumn::kTime:
            return {"at_ms"};
        case HistoryColumn::kOrder:
            return {kOrderKeys[0], kOrderKeys[1], kOrderKeys[2]};
        case HistoryColumn::kEvent:
            return {"event"};
        case HistoryColumn::kSymbol:
            return {"symbol"};
        case HistoryColumn::kSide:
            return {"side"};
        case HistoryColumn::kQuantity:
            return {"CAST(replace(quantity, ',', '.') AS REAL)", "quantity"};
        case HistoryColumn::kPrice:
            return {"CAST(replace(price, ',', '.') AS REAL)", "price"};
        case HistoryColumn::kMailState:
            return {"mail_state", "note"};
        case HistoryColumn::kDeliveredAt:
            return {"delivered_ms"};
        case HistoryColumn::kServerReply:
            return {"server_reply"};
    }
    return {"at_ms"};
}

// The blank-separated words of `text`.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!word.empty()) {
                words.push_back(std::move(word));
                word.clear();
            }
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

// A LIKE pattern that matches `word` anywhere, its own % and _ taken as they are.
std::string Anywhere(const std::string& word) {
    std::string pattern = "%";
    for (const char c : word) {
        if (c == '%' || c == '_' || c == '\\') {
            pattern.push_back('\\');
        }
        pattern.push_back(c);
    }
    pattern.push_back('%');
    return pattern;
}

// " WHERE ..." for `filter` (empty when it shows every row), its values appended to `out`.
std::string Where(const HistoryFilter& filter, SqlStatement& out) {
    std::vector<std::string> terms;
    if (filter.span) {
        terms.emplace_back("at_ms >= ? AND at_ms < ?");
        out.values.emplace_back(filter.span->from_ms);
        out.values.emplace_back(filter.span->until_ms);
    }
    if (filter.last_id) {
        terms.emplace_back("id <= ?");
        out.values.emplace_back(*filter.last_id);
    }
    for (const std::string& word : Words(filter.text)) {
        std::string any;
        for (const char* column : kSearched) {
            any += any.empty() ? "(" : " OR ";
            any += std::string(column) + " LIKE ? ESCAPE '\\'";
            out.values.emplace_back(Anywhere(word));
        }
        terms.push_back(any + ")");
    }
    std::string where;
    for (const std::string& term : terms) {
        where += where.empty() ? " WHERE " : " AND ";
        where += term;
    }
    return where;
}

std::string OrderBy(const HistoryFilter& filter) {
    const char* direction = filter.descending ? " DESC" : " ASC";
    std::string order = " ORDER BY ";
    for (const std::string& key : SortKeys(filter.sort)) {
        order += key + direction + ", ";
    }
    return order + "id" + direction;
}

}  // namespace

SqlStatement LastIdStatement() {
    return {"SELECT coalesce(max(id), 0) FROM events", {}};
}

SqlStatement CountStatement(const HistoryFilter& filter) {
    SqlStatement statement;
    statement.sql = "SELECT count(*) FROM events" + Where(filter, statement);
    return statement;
}

SqlStatement RowsStatement(const HistoryFilter& filter, int64_t offset, int64_t limit) {
    SqlStatement statement;
    statement.sql =
        "SELECT id, at_ms, order_id, event, symbol, side, quantity, price, mail_state, note, "
        "delivered_ms, server_reply, line, message <> '', source FROM events" +
        Where(filter, statement) + OrderBy(filter) + " LIMIT ? OFFSET ?";
    statement.values.emplace_back(limit < 0 ? int64_t{-1} : limit);
    statement.values.emplace_back(offset);
    return statement;
}

SqlStatement PositionStatement(const HistoryFilter& filter, int64_t id) {
    SqlStatement statement;
    statement.sql = "SELECT position FROM (SELECT id, row_number() OVER (" +
                    OrderBy(filter).substr(1) + ") - 1 AS position FROM events" +
                    Where(filter, statement) + ") WHERE id = ?";
    statement.values.emplace_back(id);
    return statement;
}

SqlStatement LatestOfOrderStatement(const std::string& order_id, std::optional<int64_t> last_id) {
    SqlStatement statement{"SELECT max(id) FROM events WHERE order_id = ?", {order_id}};
    if (last_id) {
        statement.sql += " AND id <= ?";
        statement.values.emplace_back(*last_id);
    }
    return statement;
}

SqlStatement MessageStatement(int64_t id) {
    return {"SELECT message FROM events WHERE id = ?", {id}};
}

SqlStatement AttemptsStatement(int64_t id) {
    return {"SELECT at_ms, outcome, reason FROM attempts WHERE event_id = ? ORDER BY id", {id}};
}

SqlStatement AttemptsOfRowsStatement(const HistoryFilter& filter) {
    SqlStatement statement;
    statement.sql =
        "SELECT event_id, at_ms, outcome, CASE reason WHEN '' THEN server_reply ELSE reason END "
        "FROM attempts WHERE event_id IN (SELECT id FROM events" +
        Where(filter, statement) + ") ORDER BY event_id, id";
    return statement;
}

}  // namespace quillet
