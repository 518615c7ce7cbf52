// The outbox on disk: a folder with one file per mail ("<id>.mail", mode 0600, each written all
// at once), and a folder "bad" in it for files that could not be read.
#pragma once

#include <string>

#include "app/outbox/outbox_store.h"

namespace quillet {

class OutboxFolder final : public OutboxStore {
  public:
    // `folder` need not exist: it is made (mode 0700) by the first Save. A run that does not own
    // the folder (it could not take the lock of its settings file, so another run may be
    // sending from it) gives `owned` false: it saves and removes its own mails only.
    explicit OutboxFolder(std::string folder, bool owned = true);

    // Files over 64 MiB, unreadable ones and those that are not an entry go into "bad", with a
    // line on standard error; a file that cannot be moved either is passed over. The temporary
    // files of writes that were killed before their end are removed. Not owned: nothing, and a
    // line on standard error when there are entries it leaves for the folder's owner.
    std::vector<OutboxEntry> LoadAll() override;
    Result<> Save(const OutboxEntry& entry) override;
    // One flush of the disk for the whole batch.
    std::vector<Result<>> SaveAll(
        const std::vector<OutboxEntry>& entries,
        const std::function<bool(const OutboxEntry&)>& still_wanted = nullptr) override;
    Result<> Remove(const std::string& id) override;
    // In the file "sent-today" of the folder: "2026-12-10 123".
    SentToday LoadSentToday() override;
    void SaveSentToday(const SentToday& today) override;

    const std::string& folder() const { return folder_; }

  private:
    std::string PathOf(const std::string& id) const { return folder_ + "/" + id + ".mail"; }
    Result<> MakeFolder() const;
    void PutAside(const std::string& name, const std::string& why) const;

    std::string folder_;
    bool owned_;
};

}  // namespace quillet
