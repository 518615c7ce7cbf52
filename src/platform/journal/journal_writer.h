// The journal written on a thread of its own, to the journal's file (JournalFile).
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "app/journal/journal.h"

class QSqlError;

namespace quillet {

class JournalWriter final : public Journal {
  public:
    // Opens `path` on the writer's thread and first deletes the events older than `keep`. The
    // records then go in, in the order given, each batch (what comes within 100 ms of its first
    // record, or while the last batch was written) in one transaction, so that a kill leaves
    // whole records only and loses at most the last batch. A file that cannot be opened is said
    // on standard error. A batch the file refuses for a while (locked by another, busy, full, an
    // I/O error) is kept in memory with those that follow, up to kMaxHeldRecords (the oldest go
    // beyond), and tried again every second until the file takes it; standard error says so
    // once, and once more when the file answers again. A batch refused for another reason, or
    // still refused at the end, is lost to the journal, which standard error says.
    JournalWriter(std::string path, std::chrono::hours keep);
    // Writes what is still waiting, then closes the file.
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    void RecordEvent(JournalEventRecord record) override;
    void RecordMail(JournalMailRecord record) override;

    static constexpr size_t kMaxHeldRecords = 10000;

  private:
    using Record = std::variant<JournalEventRecord, JournalMailRecord>;
    void Take(Record record);
    void Run();
    // Keeps the refused `batch` as `held`, or gives it up (said) when `last` or for good.
    void Hold(std::deque<Record> batch, const QSqlError& error, bool last,
              std::deque<Record>& held);

    const std::string path_;
    const std::chrono::hours keep_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Record> waiting_;
    bool stopping_ = false;
    bool holding_ = false;  // the writer's thread alone: records wait for the file
    std::thread thread_;    // last: starts once everything else is there
};

}  // namespace quillet
