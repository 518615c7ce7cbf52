#include "platform/journal/journal_first_mails.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include "platform/journal/journal_file.h"

namespace quillet {

Result<std::map<std::string, std::string>> ReadFirstMails(const std::string& path) {
    JournalFile file(path, QStringLiteral("quillet-journal-first-mails"));
    if (!file.ok()) {
        return Fail(file.error());
    }
    QSqlQuery query(file.database());
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

}  // namespace quillet
