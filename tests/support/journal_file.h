// A journal file written as the program writes it (its schema, WAL), with the rows a test or a
// benchmark gives, through a Qt SQL connection of its own that ends with the object.
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <string>

namespace quillet::test {

// One event row; the columns the History window does not show keep their defaults.
struct JournalEvent {
    int64_t at_ms = 0;
    std::string event, order_id, symbol, side, quantity, price, line, note, mail_state;
    std::optional<int64_t> delivered_ms;
    std::string server_reply, message;
};

class JournalFile {
  public:
    explicit JournalFile(const std::string& path) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", kName);
        db.setDatabaseName(QString::fromStdString(path));
        ok_ = db.open();
        Exec("PRAGMA journal_mode=WAL");
        Exec("PRAGMA user_version=1");
        Exec(R"(CREATE TABLE IF NOT EXISTS events (
  id INTEGER PRIMARY KEY, at_ms INTEGER NOT NULL, source TEXT NOT NULL, event TEXT NOT NULL,
  order_id TEXT NOT NULL, symbol TEXT NOT NULL DEFAULT '', side TEXT NOT NULL DEFAULT '',
  quantity TEXT NOT NULL DEFAULT '', price TEXT NOT NULL DEFAULT '', fields TEXT NOT NULL,
  line TEXT NOT NULL DEFAULT '', note TEXT NOT NULL DEFAULT '',
  outbox_id TEXT NOT NULL DEFAULT '', message_id TEXT NOT NULL DEFAULT '',
  recipients TEXT NOT NULL DEFAULT '', message TEXT NOT NULL DEFAULT '',
  mail_state TEXT NOT NULL DEFAULT '', delivered_ms INTEGER,
  server_reply TEXT NOT NULL DEFAULT ''))");
        Exec("CREATE INDEX IF NOT EXISTS events_at ON events(at_ms)");
        Exec("CREATE INDEX IF NOT EXISTS events_order ON events(order_id)");
        Exec(R"(CREATE TABLE IF NOT EXISTS attempts (
  id INTEGER PRIMARY KEY, event_id INTEGER NOT NULL REFERENCES events(id) ON DELETE CASCADE,
  at_ms INTEGER NOT NULL, outcome TEXT NOT NULL, reason TEXT NOT NULL DEFAULT '',
  server_reply TEXT NOT NULL DEFAULT ''))");
        Exec("CREATE INDEX IF NOT EXISTS attempts_event ON attempts(event_id)");
    }
    ~JournalFile() {
        QSqlDatabase::database(kName, false).close();
        QSqlDatabase::removeDatabase(kName);
    }
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Whether every statement so far worked.
    bool ok() const { return ok_; }

    void Begin() { ok_ = QSqlDatabase::database(kName).transaction() && ok_; }
    void Commit() { ok_ = QSqlDatabase::database(kName).commit() && ok_; }

    void Add(const JournalEvent& e) {
        QSqlQuery q(QSqlDatabase::database(kName));
        q.prepare(
            "INSERT INTO events (at_ms, source, event, order_id, symbol, side, quantity, price, "
            "fields, line, note, message, mail_state, delivered_ms, server_reply) "
            "VALUES (?, 'socket', ?, ?, ?, ?, ?, ?, '{}', ?, ?, ?, ?, ?, ?)");
        q.addBindValue(QVariant::fromValue(static_cast<qlonglong>(e.at_ms)));
        for (const std::string* text : {&e.event, &e.order_id, &e.symbol, &e.side, &e.quantity,
                                        &e.price, &e.line, &e.note, &e.message, &e.mail_state}) {
            q.addBindValue(QString::fromStdString(*text));
        }
        q.addBindValue(e.delivered_ms ? QVariant::fromValue(static_cast<qlonglong>(*e.delivered_ms))
                                      : QVariant());
        q.addBindValue(QString::fromStdString(e.server_reply));
        ok_ = q.exec() && ok_;
    }

    void AddAttempt(int64_t event_id, int64_t at_ms, const std::string& outcome,
                    const std::string& reason) {
        QSqlQuery q(QSqlDatabase::database(kName));
        q.prepare("INSERT INTO attempts (event_id, at_ms, outcome, reason) VALUES (?, ?, ?, ?)");
        q.addBindValue(QVariant::fromValue(static_cast<qlonglong>(event_id)));
        q.addBindValue(QVariant::fromValue(static_cast<qlonglong>(at_ms)));
        q.addBindValue(QString::fromStdString(outcome));
        q.addBindValue(QString::fromStdString(reason));
        ok_ = q.exec() && ok_;
    }

  private:
    static constexpr const char* kName = "quillet-test-journal";
    void Exec(const char* sql) {
        QSqlQuery q(QSqlDatabase::database(kName));
        ok_ = q.exec(sql) && ok_;
    }
    bool ok_ = false;
};

}  // namespace quillet::test
