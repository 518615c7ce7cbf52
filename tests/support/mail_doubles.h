// What surrounds the mail in the core's tests: a mail thread that runs each job at once, an
// outbox store in memory, notifications written down, and the outbox services made of them.
#pragma once

#include <map>
#include <mutex>
#include <ranges>
#include <string>
#include <vector>

#include "app/outbox/outbox.h"

namespace quillet::test {

struct InlineRunner : MailRunner {
    void Submit(std::function<SendResult()> job, std::function<void(SendResult)> done) override {
        done(job());
    }
};

// Used by the outbox from several threads at once, as a folder on the disk is; the test reads
// `entries` and the counts only while the outbox's threads are still.
struct MemoryStore : OutboxStore {
    std::vector<OutboxEntry> LoadAll() override {
        const std::lock_guard lock(mutex);
        const auto all = std::views::values(entries);
        return {all.begin(), all.end()};
    }
    Result<> Save(const OutboxEntry& entry) override {
        const std::lock_guard lock(mutex);
        ++saves;
        if (save_error) {
            return Fail(*save_error);
        }
        entries[entry.id] = entry;
        return {};
    }
    std::vector<Result<>> SaveAll(
        const std::vector<OutboxEntry>& batch,
        const std::function<bool(const OutboxEntry&)>& still_wanted = nullptr) override {
        {
            const std::lock_guard lock(mutex);
            batches += batch.empty() ? 0 : 1;
        }
        return OutboxStore::SaveAll(batch, still_wanted);
    }
    Result<> Remove(const std::string& id) override {
        const std::lock_guard lock(mutex);
        if (remove_error) {
            return Fail(*remove_error);
        }
        entries.erase(id);
        return {};
    }
    std::mutex mutex;
    std::map<std::string, OutboxEntry> entries;
    int saves = 0;
    int batches = 0;  // of SaveAll: one flush each
    std::optional<std::string> save_error;    // what every Save fails with, while set
    std::optional<std::string> remove_error;  // what every Remove fails with, while set
};

struct Notes : Notifier {
    void Notify(const Notice& notice) override {
        seen.push_back(notice.summary + " | " + notice.body);
        notices.push_back(notice);
    }
    void Withdraw(const std::string& key) override { withdrawn.push_back(key); }
    bool Available() const override { return true; }
    std::vector<std::string> seen;  // "summary | body"
    std::vector<Notice> notices;
    std::vector<std::string> withdrawn;  // the keys, in turn
};

// The outbox of a form under test: jobs run at once, timers never fire.
struct InlineOutbox {
    OutboxServices Services(SmtpTransport& transport) {
        return {store,
                runner,
                transport,
                notes,
                {},
                [](std::chrono::milliseconds, std::function<void()>) {},
                [] { return int64_t{1'700'000'000'000}; },
                RetrySchedule{}};
    }
    InlineRunner runner;
    MemoryStore store;
    Notes notes;
};

}  // namespace quillet::test
