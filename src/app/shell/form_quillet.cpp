#include "app/shell/form_quillet.h"

#include <utility>

#include "settings/setup_dialog_slot.h"
#include "support/trim.h"
#include "ui/screen.h"

namespace quillet {

formQuillet::formQuillet(SetupDialogSlot& setup, Screen& screen, Outbox& outbox)
    : setup_(setup), screen_(screen), outbox_(outbox) {
    password_came_ = setup_.OnPasswordSettled([this] { outbox_.Resume(); });
}

void formQuillet::ShowDelivery(std::optional<size_t> line, DeliveryState state,
                               const std::string& detail) {
    if (line) {
        List1.SetDelivery(*line, state, detail);
    }
    MailStateChanged.Emit();
}

void formQuillet::SetFixState(std::string state, std::string detail) {
    fix_state_ = std::move(state);
    fix_detail_ = std::move(detail);
    FixStateChanged.Emit();
}

void formQuillet::Form_Load() {
    setup_.Get();
    outbox_.Start();
}

void formQuillet::Form_Unload() {
    outbox_.KeepAll();
    setup_.Unload();
}

void formQuillet::cmdEmailSetup_Click() {
    const MailSettings before = setup_.Settings();
    screen_.ShowSetupDialogModal(setup_.Get());
    if (setup_.Settings() != before) {
        outbox_.RetryFailed();
    }
    if (mail_setup_offered_ && !TrimSpaces(setup_.Settings().server).empty()) {
        mail_setup_offered_ = false;
        MailSetupOfferChanged.Emit();
    }
}

void formQuillet::OfferMailSetup() {
    if (!std::exchange(mail_setup_offered_, true)) {
        MailSetupOfferChanged.Emit();
    }
}

void formQuillet::SendAgain(size_t line) {
    outbox_.SendAgain(line);
}

void formQuillet::RetryWaitingMail() {
    outbox_.RetryWaiting();
}

void formQuillet::SendFailedAgain() {
    outbox_.RetryFailed();
}

}  // namespace quillet
