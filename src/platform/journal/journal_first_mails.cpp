#include "platform/journal/journal_first_mails.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "platform/regular_file.h"

namespace quillet {
namespace {

constexpr const char* kConnection = "quillet-journal-first-mails";

// The orders' first mails in the open journal `db`, or why not.
Result<std::map<std::string, std::string>> Read(QSqlDatabase& db, const std::string& path) {
    if (!db.open()) {
        return Fail(path + ": " + db.lastError().text().toStdString());
    }
    QSqlQuery query(db);
    // SQLite takes the bare message_id from the row whose id is the group's least.
    if (!query.exec("SELECT order_id, message_id, min(id) FROM events WHERE message_id <> '' "
                    "GROUP BY order_id")) {
        return Fail(path + ": " + query.lastError().text().toStdString());
    }
    std::map<std::string, std::string> first;
    while (query.next()) {
        first.emplace(query.value(0).toString().toStdString(),
                      query.value(1).toString().toStdString());
    }
    return first;
}

}  // namespace

Result<std::map<std::string, std::string>> ReadFirstMails(const std::string& path) {
    // SQLite would wait on a FIFO for ever.
    if (const auto file = OpenRegularFile(path, FileLinks::kRefuse);
        const auto* refusal = std::get_if<FileRefusal>(&file)) {
        if (refusal->missing) {
            return std::map<std::string, std::string>();  // a first run: no earlier orders
        }
        return Fail(refusal->message);
    }
    Result<std::map<std::string, std::string>> first = std::map<std::string, std::string>();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        db.setDatabaseName(QString::fromStdString(path));
        // Read only, beside the writer's thread opening the file at the same moment: a commit
        // holds a reader up for moments at most.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        first = Read(db, path);
        db.close();
    }
    QSqlDatabase::removeDatabase(kConnection);
    return first;
}

}  // namespace quillet
