#include <iostream>
#include <optional>
#include <string>

#include "settings/form_email_setup.h"
#include "support/number_text.h"
#include "support/program_wide.h"

namespace quillet {
namespace {

// Empty once leading and trailing space characters are gone.
bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

bool HasAt(const std::string& text) {
    return text.find('@') != std::string::npos;
}

// The first problem with the settings, in the order a user fixes them; empty when none.
std::optional<std::string> FirstSettingsError(const formEmailSetup& form) {
    if (IsBlank(form.txtDisplayName.Text())) {
        return "Error: Sender's display name is empty.";
    }
    if (IsBlank(form.txtEmail.Text())) {
        return "Error: Sender's e-mail address is empty.";
    }
    if (!HasAt(form.txtEmail.Text())) {
        return "Error: Sender's e-mail address does not seem to be valid.";
    }
    if (IsBlank(form.txtSMTPserver.Text())) {
        return "Error: Outgoing mail server (SMTP) name is empty.";
    }
    if (IsBlank(form.txtPort.Text())) {
        return "Error: SMTP server port number is empty.";
    }
    if (form.chkAuthRequired.IsOn()) {
        if (IsBlank(form.txtAccountName.Text())) {
            return "Error: Account name is empty.";
        }
        if (IsBlank(form.txtPassword.Text())) {
            return "Error: Password is empty.";
        }
    }
    if (form.lstSendTo.ListCount() == 0) {
        return "Error: 'Send E-mail To' list is empty.";
    }
    for (int i = 0; i < form.lstSendTo.ListCount(); ++i) {
        if (!HasAt(form.lstSendTo.List(i))) {
            return "Error: " + form.lstSendTo.List(i) + " address does not seem to be valid.";
        }
    }
    // A port too large for its number type would otherwise wrap round to another port.
    if (!ReadWholeNumber(form.txtPort.Text())) {
        return "Error: SMTP server port number is not valid.";
    }
    return std::nullopt;
}

// The recipients joined by commas, in list order, as they stand.
std::string JoinRecipients(const ListBox& list) {
    std::string joined;
    for (int i = 0; i < list.ListCount(); ++i) {
        if (i > 0) {
            joined += ',';
        }
        joined += list.List(i);
    }
    return joined;
}

}  // namespace

void formEmailSetup::EmailReport() {
    lblLog.SetForeColor(kLogRed);
    if (const auto error = FirstSettingsError(*this)) {
        LogMessage(*error);
        std::cerr << "quillet: mail not sent: " << *error << '\n';
        return;
    }
    lblLog.SetCaption("");
    lblLog.SetForeColor(kLogBlack);

    const std::string bcc = JoinRecipients(lstSendTo);
    const int32_t port = *ReadWholeNumber(txtPort.Text());
    const int32_t authenticate = chkAuthRequired.Value();
    const int32_t use_ssl = chkSSL.Value();
    const ProgramWide& program = Program();
    const int32_t result =
        SendEmailUsingCDO(txtSMTPserver.Text(), port, authenticate, txtAccountName.Text(),
                          txtPassword.Text(), use_ssl, txtDisplayName.Text(), txtEmail.Text(), "",
                          bcc, program.EmailSubject, program.EmailBody);

    if (result != 0) {
        lblLog.SetForeColor(kLogRed);
        LogMessage("Can't send message: check your e-mail settings.");
    } else {
        lblLog.SetForeColor(kLogGreen);
        LogMessage("Message sent successfully.");
    }
}

}  // namespace quillet
