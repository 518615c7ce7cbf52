// The one setup dialog of the run: loaded on first use, unloaded by the main window's unload
// or by the dialog's close box, and loaded again, from the settings file, by the next use. The
// live mail settings outlive every load: the slot owns them.
#pragma once

#include <memory>

#include "settings/form_email_setup.h"
#include "settings/live_mail_settings.h"

namespace quillet {

class SetupDialogSlot {
  public:
    explicit SetupDialogSlot(const EmailSetupServices& services);
    ~SetupDialogSlot();

    bool IsLoaded() const { return form_ != nullptr; }
    // The dialog, loaded first (which reads the settings file) when it is not.
    formEmailSetup& Get();
    // Unloads the dialog (which writes the settings file); nothing when it is not loaded.
    void Unload();

    // The live mail settings: those of the latest load, as edited since. Loads nothing.
    const MailSettings& Settings() const { return live_.Value(); }

  private:
    EmailSetupServices services_;
    LiveMailSettings live_;
    std::unique_ptr<formEmailSetup> form_;
};

}  // namespace quillet
