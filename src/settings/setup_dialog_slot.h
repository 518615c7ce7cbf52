// The one setup dialog of the run: loaded on first use, unloaded by the main window's unload
// or by the dialog's close box, and loaded again, from the settings file, by the next use. The
// live mail settings outlive every load: the slot owns them, and the keeper of the password.
#pragma once

#include <memory>

#include "settings/form_email_setup.h"
#include "settings/live_mail_settings.h"
#include "settings/password_keeper.h"

namespace quillet {

class SetupDialogSlot {
  public:
    // `passwords`: the keyring, which must outlive the slot; none: the settings file alone.
    explicit SetupDialogSlot(const EmailSetupServices& services,
                             PasswordStore* passwords = nullptr);
    ~SetupDialogSlot();

    bool IsLoaded() const { return form_ != nullptr; }
    // The dialog, loaded first (which reads the settings file) when it is not.
    formEmailSetup& Get();
    // Unloads the dialog (which writes the settings file); nothing when it is not loaded.
    void Unload();

    // The live mail settings: those of the latest load, as edited since. Loads nothing.
    const MailSettings& Settings() const { return live_.Value(); }
    // Whether the settings still lack the password the keyring is being asked for; a mail
    // waits until OnPasswordSettled tells it.
    bool PasswordPending() const { return keeper_.Pending(); }
    [[nodiscard]] Subscription OnPasswordSettled(std::function<void()> settled) {
        return keeper_.OnSettled(std::move(settled));
    }

  private:
    EmailSetupServices services_;
    LiveMailSettings live_;
    PasswordKeeper keeper_;
    std::unique_ptr<formEmailSetup> form_;
};

}  // namespace quillet
