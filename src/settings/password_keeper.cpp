#include "settings/password_keeper.h"

#include "settings/profile_file.h"
#include "settings/stored_settings.h"
#include "support/trim.h"

namespace quillet {
namespace {}  // namespace

PasswordKeeper::PasswordKeeper(PasswordStore* store, ProfileFile& file)
    : store_(store), file_(file) {}

void PasswordKeeper::Ask(const std::string& key, bool in_file,
                         std::function<void(std::optional<std::string>, bool)> answer) {
    if (store_ == nullptr) {
        return;
    }
    if (!in_file && kept_ && kept_->key == key) {
        answer(kept_->password, true);  // a load again in the same run: known already
        return;
    }
    if (!in_file) {
        ++pending_;
    }
    store_->Read(key, lifetime_.Guard([this, key, in_file, answer = std::move(answer)](
                                          std::optional<std::string> password, std::string error) {
        if (error.empty()) {
            kept_.reset();
            if (password) {
                kept_ = Kept{key, *password};
            }
        }
        if (answer) {
            answer(std::move(password), error.empty());
        }
        if (!in_file) {
            --pending_;
            Settle();
        }
    }));
}

std::string PasswordKeeper::ForFile(const std::string& key, const std::string& password,
                                    std::function<void()> failed) {
    const std::string trimmed(TrimSpaces(password));
    if (store_ == nullptr) {
        return trimmed;
    }
    if (trimmed.empty()) {
        // Cleared by the user: the keyring lets go of it too. One still being read is kept.
        if (kept_ && kept_->key == key && pending_ == 0) {
            store_->Remove(key, [](const std::string&) {});
            kept_.reset();
        }
        return trimmed;
    }
    const Kept wanted{key, trimmed};
    if (kept_ == wanted) {
        return "";
    }
    if (writing_ != wanted) {
        writing_ = wanted;
        store_->Write(
            key, trimmed,
            lifetime_.Guard([this, wanted, failed = std::move(failed)](std::string error) {
                if (writing_ == wanted) {
                    writing_.reset();
                }
                if (!error.empty()) {
                    if (failed) {
                        failed();
                    }
                    return;
                }
                kept_ = wanted;
                DropFromFile(wanted.password);
            }));
    }
    return trimmed;
}

void PasswordKeeper::Settle() {
    if (pending_ == 0) {
        settled_.Emit();
    }
}

void PasswordKeeper::DropFromFile(const std::string& password) {
    // Only the password the keyring now holds leaves the file; one saved since stays.
    if (!file_.Load().ok()) {
        return;
    }
    if (ReadStoredValue(file_, stored::kPassword.name) == password) {
        StageStoredValue(file_, stored::kPassword.name, std::nullopt);
        static_cast<void>(file_.Save());  // the password stays in the file when it cannot go
    }
}

}  // namespace quillet
