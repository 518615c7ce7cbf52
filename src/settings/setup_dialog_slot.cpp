#include "settings/setup_dialog_slot.h"

namespace quillet {

SetupDialogSlot::SetupDialogSlot(const EmailSetupServices& services, PasswordStore* passwords)
    : services_(services), keeper_(passwords, services_.settings_file) {}

SetupDialogSlot::~SetupDialogSlot() = default;

formEmailSetup& SetupDialogSlot::Get() {
    if (!form_) {
        form_ = std::make_unique<formEmailSetup>(services_, live_, &keeper_);
        form_->Form_Load();
    }
    return *form_;
}

void SetupDialogSlot::Unload() {
    if (!form_) {
        return;
    }
    // The form is unloaded and gone before anything can reach it again.
    std::unique_ptr<formEmailSetup> form = std::move(form_);
    form->Form_Unload();
}

}  // namespace quillet
