#include "platform/journal/journal_writer.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <iostream>
#include <iterator>
#include <optional>
#include <utility>

#include "app/journal/journal_rows.h"
#include "platform/journal/journal_file.h"

namespace quillet {
namespace {

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant Number(std::optional<int64_t> value) {
    return value ? QVariant::fromValue<qlonglong>(*value)
                 : QVariant(QMetaType(QMetaType::LongLong));
}

// The writer's statements, prepared once for the file and bound anew for every record.
class Statements {
  public:
    explicit Statements(QSqlDatabase& db) : event_(db), state_(db), attempt_(db) {
        ready_ = event_.prepare(
                     "INSERT INTO events(at_ms, source, event, order_id, symbol, side, quantity, "
                     "price, fields, line, note, outbox_id, message_id, recipients, message, "
                     "mail_state) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") &&
                 state_.prepare(
                     "UPDATE events SET mail_state = ?, delivered_ms = coalesce(?, delivered_ms), "
                     "server_reply = CASE WHEN ? = '' THEN server_reply ELSE ? END, "
                     "message_id = CASE WHEN ? = '' THEN message_id ELSE ? END, "
                     "recipients = CASE WHEN ? = '' THEN recipients ELSE ? END, "
                     "message = CASE WHEN ? = '' THEN message ELSE ? END WHERE outbox_id = ?") &&
                 attempt_.prepare(
                     "INSERT INTO attempts(event_id, at_ms, outcome, reason, server_reply) "
                     "SELECT id, ?, ?, ?, ? FROM events WHERE outbox_id = ? "
                     "ORDER BY id DESC LIMIT 1");
    }

    bool Write(const JournalEventRecord& r, QSqlError& error) {
        const std::string fields = EventFieldsJson(r.facts);
        int at = 0;
        event_.bindValue(at++, QVariant::fromValue<qlonglong>(r.at_ms));
        for (const std::string* text :
             {&r.source, &r.event, &r.order_id, &r.symbol, &r.side, &r.quantity, &r.price, &fields,
              &r.line, &r.note, &r.outbox_id, &r.message_id, &r.recipients, &r.message,
              &r.mail_state}) {
            event_.bindValue(at++, Text(*text));
        }
        return Run(event_, error);
    }

    // The event's state, its attempt, and the message with its recipients when the attempt
    // composed it.
    bool Write(const JournalMailRecord& r, QSqlError& error) {
        int at = 0;
        state_.bindValue(at++, Text(r.mail_state));
        state_.bindValue(at++, Number(r.delivered_ms));
        for (const std::string* text :
             {&r.server_reply, &r.server_reply, &r.message_id, &r.message_id, &r.recipients,
              &r.recipients, &r.message, &r.message, &r.outbox_id}) {
            state_.bindValue(at++, Text(*text));
        }
        at = 0;
        attempt_.bindValue(at++, QVariant::fromValue<qlonglong>(r.at_ms));
        for (const std::string* text : {&r.mail_state, &r.reason, &r.server_reply, &r.outbox_id}) {
            attempt_.bindValue(at++, Text(*text));
        }
        return Run(state_, error) && Run(attempt_, error);
    }

    bool ready() const { return ready_; }
    QSqlError error() const {
        for (const QSqlQuery* query : {&event_, &state_, &attempt_}) {
            if (query->lastError().isValid()) {
                return query->lastError();
            }
        }
        return {};
    }

  private:
    static bool Run(QSqlQuery& query, QSqlError& error) {
        if (!query.exec()) {
            error = query.lastError();
            return false;
        }
        query.finish();
        return true;
    }

    QSqlQuery event_, state_, attempt_;
    bool ready_ = false;
};

}  // namespace

JournalWriter::JournalWriter(std::string path, std::chrono::hours keep)
    : path_(std::move(path)), keep_(keep), thread_([this] { Run(); }) {}

JournalWriter::~JournalWriter() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void JournalWriter::RecordEvent(JournalEventRecord record) {
    Take(std::move(record));
}

void JournalWriter::RecordMail(JournalMailRecord record) {
    Take(std::move(record));
}

void JournalWriter::Take(Record record) {
    bool first = false;
    {
        const std::lock_guard lock(mutex_);
        first = waiting_.empty();
        waiting_.push_back(std::move(record));
    }
    if (first) {  // the writer waits for a first record; while it gathers, it wakes by itself
        wake_.notify_one();
    }
}

// How long the writer gathers records after the first before it writes them: a kill loses at
// most this and the time of one write.
constexpr std::chrono::milliseconds kGather{100};
// How long records that could not be written wait before they are tried again.
constexpr std::chrono::seconds kRetry{1};

namespace {

// Whether SQLite's refusal may pass: the file locked by another, busy, full or failing to read or
// write, rather than a record it will never take.
bool Passing(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt() & 0xff;  // the primary result code
    return code == 5 || code == 6 || code == 8 || code == 10 || code == 13 || code == 14;
}

}  // namespace

void JournalWriter::Run() {
    JournalFile file(path_, QStringLiteral("quillet-journal-writer"));
    if (!file.ok()) {
        std::cerr << "quillet: the journal cannot be written: " << file.error() << '\n';
    } else {
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::system_clock::now().time_since_epoch());
        if (!file.DeleteBefore((now - keep_).count())) {
            std::cerr << "quillet: old journal events could not be deleted: " << file.error()
                      << '\n';
        }
    }
    std::optional<Statements> statements;
    if (file.ok()) {
        statements.emplace(file.database());
        if (!statements->ready()) {
            std::cerr << "quillet: the journal cannot be written: "
                      << statements->error().text().toStdString() << '\n';
        }
    }
    const bool writable = statements && statements->ready();
    std::deque<Record> held;  // of batches the file refused for a while, in their order
    std::unique_lock lock(mutex_);
    while (true) {
        if (held.empty()) {
            wake_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (waiting_.empty()) {
                return;  // stopping, with everything written
            }
            // What a burst brings within a moment goes into the same transaction.
            wake_.wait_for(lock, kGather, [this] { return stopping_; });
        } else {
            wake_.wait_for(lock, kRetry, [this] { return stopping_; });
        }
        std::deque<Record> batch = std::exchange(held, {});
        std::move(waiting_.begin(), waiting_.end(), std::back_inserter(batch));
        waiting_.clear();
        const bool last = stopping_;
        lock.unlock();
        if (writable) {
            QSqlDatabase& db = file.database();
            QSqlError error;
            bool written = db.transaction();
            for (const Record& record : batch) {
                written =
                    written &&
                    std::visit([&](const auto& r) { return statements->Write(r, error); }, record);
            }
            if (written && db.commit()) {
                if (holding_) {
                    std::cerr << "quillet: the journal answers again; the records kept in memory "
                                 "are written\n";
                    holding_ = false;
                }
            } else {
                if (!error.isValid()) {
                    error = db.lastError();
                }
                db.rollback();
                Hold(std::move(batch), error, last, held);
            }
        }
        lock.lock();
        if (last && held.empty() && waiting_.empty()) {
            return;
        }
    }
}

void JournalWriter::Hold(std::deque<Record> batch, const QSqlError& error, bool last,
                         std::deque<Record>& held) {
    const std::string why = error.text().toStdString();
    if (!Passing(error) || last) {
        std::cerr << "quillet: " << batch.size() << " journal records could not be written: " << why
                  << '\n';
        return;
    }
    if (!holding_) {
        std::cerr << "quillet: the journal cannot be written for now (" << why
                  << "); its records are kept in memory, up to " << kMaxHeldRecords
                  << ", and written when it answers again\n";
        holding_ = true;
    }
    if (batch.size() > kMaxHeldRecords) {
        std::cerr << "quillet: " << batch.size() - kMaxHeldRecords
                  << " journal records are lost: more than " << kMaxHeldRecords
                  << " waited for the journal\n";
        batch.erase(batch.begin(), batch.end() - static_cast<std::ptrdiff_t>(kMaxHeldRecords));
    }
    held = std::move(batch);
}

}  // namespace quillet
