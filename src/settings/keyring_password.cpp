// The dialog's password and the keyring: asked for at the load, given to it at the save.
#include "settings/form_email_setup.h"
#include "settings/password_keeper.h"

namespace quillet {

std::string formEmailSetup::CurrentPasswordKey() const {
    return PasswordKey(txtSMTPserver.Text(), txtPort.Text(), txtAccountName.Text());
}

void formEmailSetup::AskForPassword() {
    if (keeper_ == nullptr || txtAccountName.Text().empty()) {
        return;
    }
    const std::string key = CurrentPasswordKey();
    keeper_->Ask(
        key, !txtPassword.Text().empty(),
        lifetime_.Guard([this, key](std::optional<std::string> password, bool answered) {
            if (!answered) {
                lblLog.SetForeColor(kLogBlack);
                LogMessage(kPasswordInFileNote);
            } else if (password && txtPassword.Text().empty() && CurrentPasswordKey() == key) {
                // As if loaded: the loaded template takes it too.
                Templates[static_cast<size_t>(MatchingTemplate(txtSMTPserver.Text()) - 1)]
                    .TemplatePassword = *password;
                txtPassword.SetText(*password);
            }
        }));
}

std::string formEmailSetup::StoredPassword() {
    // With no account name there is no key to find it again by: the file keeps it.
    if (keeper_ == nullptr || txtAccountName.Text().empty()) {
        return txtPassword.Text();
    }
    return keeper_->ForFile(CurrentPasswordKey(), txtPassword.Text(), lifetime_.Guard([this] {
        lblLog.SetForeColor(kLogBlack);
        LogMessage(kPasswordInFileNote);
    }));
}

}  // namespace quillet
