// Keeps the mail account's password in the keyring when one answers, and in the settings file
// when none does. Lives for the whole run (the setup dialog's slot owns it), so what the
// keyring is known to hold outlives every load of the dialog. User-interface thread only.
//
// The settings file lets go of a password only once the keyring has taken it: a save writes
// the password into the file while the keyring is still being asked, and the file loses it
// when the keyring confirms. A keyring that fails or never answers thus loses nothing.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "settings/password_store.h"
#include "support/lifetime.h"
#include "ui/controls.h"

namespace quillet {

class ProfileFile;

inline constexpr const char* kPasswordInFileNote =
    "The password is kept in the settings file: no keyring answered.";

class PasswordKeeper {
  public:
    // No store: the file keeps the password, as it always did. Both must outlive the keeper.
    PasswordKeeper(PasswordStore* store, ProfileFile& file);
    PasswordKeeper(const PasswordKeeper&) = delete;
    PasswordKeeper& operator=(const PasswordKeeper&) = delete;

    // Whether a mail must wait: the keyring is being asked for a password the file lacks.
    bool Pending() const { return pending_ > 0; }
    // Told each time no more is pending.
    [[nodiscard]] Subscription OnSettled(std::function<void()> settled) {
        return settled_.Subscribe(std::move(settled));
    }

    // At a load: asks the keyring for the password of `key`. `answer` is told the password
    // when the keyring holds one, or nullopt; `answered` false when no keyring answered.
    // With `in_file` (the file holds a password, which wins) nothing waits for the answer.
    // A password the keyring gave or took earlier in the run is told at once, from the call.
    void Ask(const std::string& key, bool in_file,
             std::function<void(std::optional<std::string> password, bool answered)> answer);

    // At a save: what the file keeps for `password` of `key` (blanks around it dropped).
    // Empty when the keyring holds it; otherwise the password, which the keyring is then
    // given, and which leaves the file once it has it. `failed` is told when no keyring
    // answered that.
    std::string ForFile(const std::string& key, const std::string& password,
                        std::function<void()> failed);

  private:
    struct Kept {
        std::string key;
        std::string password;
        bool operator==(const Kept&) const = default;
    };
    void Settle();
    void DropFromFile(const std::string& password);

    PasswordStore* store_;
    ProfileFile& file_;
    int pending_ = 0;
    std::optional<Kept> kept_;     // what the keyring is known to hold
    std::optional<Kept> writing_;  // what it is being given
    Signal<> settled_;
    Lifetime lifetime_;  // the keyring's answers come back only while the keeper lives
};

}  // namespace quillet
