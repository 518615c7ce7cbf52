// Where the outbox keeps its entries between runs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/outbox_entry.h"
#include "support/result.h"

namespace quillet {

class OutboxStore {
  public:
    virtual ~OutboxStore() = default;

    // Every entry kept, oldest first. An entry that cannot be read is put aside (and the
    // store says so on standard error), never given and never in the way again.
    virtual std::vector<OutboxEntry> LoadAll() = 0;
    // Keeps `entry`, replacing the one of its id, all at once: after a crash at any moment the
    // store holds the old entry or the new one, whole. Gives the reason when it could not.
    virtual Result<> Save(const OutboxEntry& entry) = 0;
    // Forgets the entry of `id` for good (after a crash too); nothing when there is none. Gives
    // the reason when the entry is still there (a read-only folder, say).
    virtual Result<> Remove(const std::string& id) = 0;
};

}  // namespace quillet
