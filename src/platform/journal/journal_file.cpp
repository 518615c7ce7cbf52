#include "platform/journal/journal_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "platform/regular_file.h"
#include "platform/unique_fd.h"

namespace quillet {
namespace {

constexpr const char* kSchema[] = {
    "CREATE TABLE IF NOT EXISTS events ("
    " id INTEGER PRIMARY KEY, at_ms INTEGER NOT NULL, source TEXT NOT NULL, event TEXT NOT NULL,"
    " order_id TEXT NOT NULL, symbol TEXT NOT NULL DEFAULT '', side TEXT NOT NULL DEFAULT '',"
    " quantity TEXT NOT NULL DEFAULT '', price TEXT NOT NULL DEFAULT '', fields TEXT NOT NULL,"
    " line TEXT NOT NULL DEFAULT '', note TEXT NOT NULL DEFAULT '',"
    " outbox_id TEXT NOT NULL DEFAULT '', message_id TEXT NOT NULL DEFAULT '',"
    " recipients TEXT NOT NULL DEFAULT '', message TEXT NOT NULL DEFAULT '',"
    " mail_state TEXT NOT NULL DEFAULT '', delivered_ms INTEGER,"
    " server_reply TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX IF NOT EXISTS events_at ON events(at_ms)",
    "CREATE INDEX IF NOT EXISTS events_order ON events(order_id)",
    // Every mail's state and attempt find their event by the outbox's id.
    "CREATE INDEX IF NOT EXISTS events_outbox ON events(outbox_id)",
    "CREATE TABLE IF NOT EXISTS attempts ("
    " id INTEGER PRIMARY KEY,"
    " event_id INTEGER NOT NULL REFERENCES events(id) ON DELETE CASCADE,"
    " at_ms INTEGER NOT NULL, outcome TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '',"
    " server_reply TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX IF NOT EXISTS attempts_event ON attempts(event_id)",
};

// Makes the file with mode 0600 if it is missing, so that no other user can read it for a
// moment before SQLite creates it with the umask's mode.
std::string MakePrivate(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (!fd)
        return "cannot open " + path;
    if (auto refusal = RefuseUnlessRegular(fd.get(), path)) {
        return refusal->message;  // SQLite would wait on a FIFO for ever
    }
    ::fchmod(fd.get(), 0600);
    return {};
}

}  // namespace

JournalFile::JournalFile(const std::string& path, const QString& connection)
    : connection_(connection) {
    if (!QSqlDatabase::isDriverAvailable("QSQLITE")) {
        error_ = "the SQLite driver of Qt SQL is missing (package libqt6sql6-sqlite)";
        return;
    }
    if (error_ = MakePrivate(path); !error_.empty())
        return;
    db_ = QSqlDatabase::addDatabase("QSQLITE", connection_);
    db_.setDatabaseName(QString::fromStdString(path));
    if (!db_.open()) {
        error_ = path + ": " + db_.lastError().text().toStdString();
        return;
    }
    QSqlQuery version(db_);
    if (!version.exec("PRAGMA user_version") || !version.next()) {
        error_ = path + " is not a journal: " + version.lastError().text().toStdString();
    } else if (version.value(0).toInt() > 1) {
        error_ = path + " was written by a newer version";
    }
    version.finish();
    if (!ok() || !Run("PRAGMA journal_mode=WAL") || !Run("PRAGMA synchronous=NORMAL") ||
        !Run("PRAGMA foreign_keys=ON") || !Run("PRAGMA busy_timeout=5000")) {
        db_.close();
        return;
    }
    if (!db_.transaction()) {
        error_ = db_.lastError().text().toStdString();
        db_.close();
        return;
    }
    for (const char* statement : kSchema)
        if (!Run(statement))
            break;
    if (!ok() || !Run("PRAGMA user_version=1") || !db_.commit()) {
        if (ok())
            error_ = db_.lastError().text().toStdString();
        db_.rollback();
        db_.close();
    }
}

JournalFile::~JournalFile() {
    db_.close();
    db_ = QSqlDatabase();
    if (QSqlDatabase::contains(connection_))
        QSqlDatabase::removeDatabase(connection_);
}

bool JournalFile::Run(const char* statement) {
    QSqlQuery query(db_);
    if (query.exec(QString::fromLatin1(statement)))
        return true;
    error_ = std::string(statement).substr(0, 40) + ": " + query.lastError().text().toStdString();
    return false;
}

std::optional<int64_t> JournalFile::DeleteBefore(int64_t cutoff_ms) {
    if (!db_.isOpen() || !db_.transaction()) {
        error_ = "the journal is not open";
        return std::nullopt;
    }
    QSqlQuery query(db_);
    query.prepare("DELETE FROM events WHERE at_ms < ?");
    query.addBindValue(QVariant::fromValue<qlonglong>(cutoff_ms));
    if (!query.exec()) {
        error_ = query.lastError().text().toStdString();
        db_.rollback();
        return std::nullopt;
    }
    const int64_t deleted = query.numRowsAffected();
    query.finish();
    if (!db_.commit()) {
        error_ = db_.lastError().text().toStdString();
        db_.rollback();
        return std::nullopt;
    }
    return deleted;
}

}  // namespace quillet
