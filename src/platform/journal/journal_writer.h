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

namespace quillet {

class JournalWriter final : public Journal {
  public:
    // Opens `path` on the writer's thread and first deletes the events older than `keep`. The
    // records then go in, in the order given, each batch (what comes within 100 ms of its first
    // record, or while the last batch was written) in one transaction, so that a kill leaves
    // whole records only and loses at most the last batch. A file that cannot be opened
    // or a batch that cannot be written is said on standard error; the records go on being
    // taken (and those of a failed batch are lost to the journal).
    JournalWriter(std::string path, std::chrono::hours keep);
    // Writes what is still waiting, then closes the file.
    ~JournalWriter() override;
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    void RecordEvent(JournalEventRecord record) override;
    void RecordMail(JournalMailRecord record) override;

  private:
    using Record = std::variant<JournalEventRecord, JournalMailRecord>;
    void Take(Record record);
    void Run();

    const std::string path_;
    const std::chrono::hours keep_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Record> waiting_;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once everything else is there
};

}  // namespace quillet
