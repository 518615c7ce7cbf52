#include "settings/setup_dialog_slot.h"

namespace quillet {

SetupDialogSlot::SetupDialogSlot(SmtpTransport& transport, ProfileFile& settings_file,
                                 Screen& screen)
    : transport_(transport), settings_file_(settings_file), screen_(screen) {}

SetupDialogSlot::~SetupDialogSlot() = default;

formEmailSetup& SetupDialogSlot::Get() {
    if (!form_) {
        form_ = std::make_unique<formEmailSetup>(transport_, settings_file_, screen_);
        form_->Form_Load();
    }
    return *form_;
}

void SetupDialogSlot::Unload() {
    if (!form_) {
        return;
    }
    // The form stays reachable while its unload runs, and is gone once it has.
    form_->Form_Unload();
    form_.reset();
}

}  // namespace quillet
