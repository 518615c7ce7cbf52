// The one setup dialog of the run: loaded on first use, unloaded by the main window's unload
// or by the dialog's close box, and loaded again, from the settings file, by the next use.
#pragma once

#include <memory>

#include "settings/form_email_setup.h"

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

  private:
    EmailSetupServices services_;
    std::unique_ptr<formEmailSetup> form_;
};

}  // namespace quillet
