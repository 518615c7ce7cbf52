// Where the outbox keeps its entries between runs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/outbox/outbox_entry.h"
#include "support/result.h"

namespace quillet {

// How many recipients the account's mails reached on one local day ("2026-12-10").
struct SentToday {
    std::string day;
    int64_t recipients = 0;

    bool operator==(const SentToday&) const = default;
};

// Used from several threads at once (the user-interface thread, the mail thread and the
// outbox's writer), never two of them on the same entry at once: an implementation allows it.
class OutboxStore {
  public:
    virtual ~OutboxStore() = default;

    // Every entry kept, oldest first. An entry that cannot be read is put aside (and the
    // store says so on standard error), never given and never in the way again.
    virtual std::vector<OutboxEntry> LoadAll() = 0;
    // Keeps `entry`, replacing the one of its id, all at once: after a crash at any moment the
    // store holds the old entry or the new one, whole. Gives the reason when it could not.
    virtual Result<> Save(const OutboxEntry& entry) = 0;
    // Save for each of `entries`, all at once where the store can (one flush of the disk for
    // them all): one outcome per entry, in their order. Just before an entry takes its place,
    // `still_wanted` (when given) may say no to it: the store is then left as it was for that
    // entry, and its outcome is a success.
    virtual std::vector<Result<>> SaveAll(
        const std::vector<OutboxEntry>& entries,
        const std::function<bool(const OutboxEntry&)>& still_wanted = nullptr) {
        std::vector<Result<>> outcomes;
        for (const OutboxEntry& entry : entries) {
            outcomes.push_back(!still_wanted || still_wanted(entry) ? Save(entry) : Result<>());
        }
        return outcomes;
    }
    // Forgets the entry of `id` for good (after a crash of the program too; after a power cut,
    // once the store's next flush has come); nothing when there is none. Gives the reason when
    // the entry is still there (a read-only folder, say).
    virtual Result<> Remove(const std::string& id) = 0;
    // The day's count of recipients, kept beside the entries for the daily limit: what the last
    // SaveSentToday gave, or nothing (none kept, or it cannot be read). A failed save is passed
    // over: the count is then the one of the save before.
    virtual SentToday LoadSentToday() { return {}; }
    virtual void SaveSentToday(const SentToday&) {}
};

}  // namespace quillet
