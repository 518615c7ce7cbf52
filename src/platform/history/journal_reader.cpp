#include "platform/history/journal_reader.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <variant>

#include "platform/regular_file.h"

namespace quillet {

JournalReader::JournalReader(QString path) : path_(std::move(path)) {}

JournalReader::~JournalReader() {
    if (connection_.isEmpty()) {
        return;
    }
    QSqlDatabase::database(connection_, false).close();
    QSqlDatabase::removeDatabase(connection_);  // no database or query refers to it now
}

bool JournalReader::Open() {
    if (!connection_.isEmpty()) {
        return true;
    }
    // SQLite would wait on a FIFO for ever, and read a device without end.
    const auto file = OpenRegularFile(path_.toStdString(), FileLinks::kRefuse);
    if (const auto* refusal = std::get_if<FileRefusal>(&file)) {
        error_ =
            refusal->missing
                ? QStringLiteral("No order has been recorded yet: %1 does not exist.").arg(path_)
                : QStringLiteral("The journal %1 cannot be opened: %2")
                      .arg(path_, QString::fromStdString(refusal->message));
        return false;
    }
    const QString name =
        QStringLiteral("quillet-history-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path_);
        // Read only; a writer's commit holds a reader up for moments at most.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=500"));
        if (!db.open()) {
            error_ = QStringLiteral("The journal %1 cannot be opened: %2")
                         .arg(path_, db.lastError().text());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            return false;
        }
    }
    connection_ = name;
    return true;
}

bool JournalReader::Run(const SqlStatement& statement, QSqlQuery& query) {
    query.setForwardOnly(true);
    if (!query.prepare(QString::fromStdString(statement.sql))) {
        error_ = QStringLiteral("The journal %1 cannot be read: %2")
                     .arg(path_, query.lastError().text());
        return false;
    }
    for (const auto& value : statement.values) {
        if (const auto* number = std::get_if<int64_t>(&value)) {
            query.addBindValue(QVariant::fromValue(static_cast<qlonglong>(*number)));
        } else {
            query.addBindValue(QString::fromStdString(std::get<std::string>(value)));
        }
    }
    if (!query.exec()) {
        error_ = QStringLiteral("The journal %1 cannot be read: %2")
                     .arg(path_, query.lastError().text());
        return false;
    }
    error_.clear();
    return true;
}

std::optional<QVariant> JournalReader::Single(const SqlStatement& statement) {
    if (!Open()) {
        return std::nullopt;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    if (!Run(statement, query)) {
        return std::nullopt;
    }
    return query.next() ? query.value(0) : QVariant();
}

std::optional<int64_t> JournalReader::LastId() {
    const auto value = Single(LastIdStatement());
    return value ? std::optional<int64_t>(value->toLongLong()) : std::nullopt;
}

std::optional<int64_t> JournalReader::Count(const HistoryFilter& filter) {
    const auto value = Single(CountStatement(filter));
    return value ? std::optional<int64_t>(value->toLongLong()) : std::nullopt;
}

std::optional<int64_t> JournalReader::Position(const HistoryFilter& filter, int64_t id) {
    const auto value = Single(PositionStatement(filter, id));
    if (!value) {
        return std::nullopt;
    }
    return value->isNull() ? -1 : value->toLongLong();
}

std::optional<int64_t> JournalReader::LatestOfOrder(const QString& order_id,
                                                    std::optional<int64_t> last_id) {
    const auto value = Single(LatestOfOrderStatement(order_id.toStdString(), last_id));
    return value ? std::optional<int64_t>(value->toLongLong()) : std::nullopt;
}

std::optional<QByteArray> JournalReader::Message(int64_t id) {
    const auto value = Single(MessageStatement(id));
    if (!value || value->isNull()) {
        return std::nullopt;
    }
    return value->toString().toUtf8();
}

bool JournalReader::ForEachRow(const HistoryFilter& filter, int64_t offset, int64_t limit,
                               const std::function<void(HistoryRow&&)>& row) {
    if (!Open()) {
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    if (!Run(RowsStatement(filter, offset, limit), query)) {
        return false;
    }
    while (query.next()) {
        HistoryRow r;
        r.id = query.value(0).toLongLong();
        r.at_ms = query.value(1).toLongLong();
        r.order_id = query.value(2).toString();
        r.event = query.value(3).toString();
        r.symbol = query.value(4).toString();
        r.side = query.value(5).toString();
        r.quantity = query.value(6).toString();
        r.price = query.value(7).toString();
        r.mail_state = query.value(8).toString();
        r.note = query.value(9).toString();
        if (const QVariant delivered = query.value(10); !delivered.isNull()) {
            r.delivered_ms = delivered.toLongLong();
        }
        r.server_reply = query.value(11).toString();
        r.line = query.value(12).toString();
        r.has_message = query.value(13).toInt() != 0;
        r.source = query.value(14).toString();
        row(std::move(r));
    }
    if (query.lastError().isValid()) {
        error_ = QStringLiteral("The journal %1 cannot be read: %2")
                     .arg(path_, query.lastError().text());
        return false;
    }
    return true;
}

std::optional<std::vector<HistoryAttempt>> JournalReader::Attempts(int64_t id) {
    if (!Open()) {
        return std::nullopt;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    if (!Run(AttemptsStatement(id), query)) {
        return std::nullopt;
    }
    std::vector<HistoryAttempt> attempts;
    while (query.next()) {
        attempts.push_back(
            {query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString()});
    }
    return attempts;
}

std::optional<std::unordered_map<int64_t, std::vector<HistoryAttempt>>>
JournalReader::AttemptsOfRows(const HistoryFilter& filter) {
    if (!Open()) {
        return std::nullopt;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    if (!Run(AttemptsOfRowsStatement(filter), query)) {
        return std::nullopt;
    }
    std::unordered_map<int64_t, std::vector<HistoryAttempt>> attempts;
    while (query.next()) {
        attempts[query.value(0).toLongLong()].push_back(
            {query.value(1).toLongLong(), query.value(2).toString(), query.value(3).toString()});
    }
    if (query.lastError().isValid()) {
        error_ = QStringLiteral("The journal %1 cannot be read: %2")
                     .arg(path_, query.lastError().text());
        return std::nullopt;
    }
    return attempts;
}

}  // namespace quillet
