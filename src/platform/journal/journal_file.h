// The journal's file: an SQLite database ("quillet-journal.sqlite" beside the settings file) of
// every order event handled and every delivery attempt of its mail, through Qt SQL's SQLite
// driver. Mode 0600, write-ahead log, user_version 1, foreign keys on (an event's attempts go
// with it).
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace quillet {

// One open connection to the journal. A Qt SQL connection is used only on the thread that made
// it: make, use and destroy a JournalFile on one thread. The destructor closes the connection
// and removes it from Qt SQL's list.
class JournalFile final {
  public:
    // Opens `path`, creating the file (mode 0600, made so before SQLite writes a byte) and its
    // tables when missing. `connection` names the Qt SQL connection and must be unique among
    // those open in the process. On failure (no SQLite driver, a folder that cannot be written,
    // a file that is not a database, a user_version newer than 1) error() says why and
    // database() is not open.
    JournalFile(const std::string& path, const QString& connection);
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    QSqlDatabase& database() { return db_; }

    // Deletes the events handled before `cutoff_ms` (UTC milliseconds) and their attempts, in
    // one transaction. Returns the number of events deleted, or nullopt with error() set.
    std::optional<int64_t> DeleteBefore(int64_t cutoff_ms);

  private:
    bool Run(const char* statement);

    QString connection_;
    QSqlDatabase db_;
    std::string error_;
};

}  // namespace quillet
