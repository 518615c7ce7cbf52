// Mailing with the live settings: the status line's texts and the hand-over to the transport.
#include <iostream>

#include "mail/send_plain_text_mail.h"
#include "mail/settings_check.h"
#include "settings/form_email_setup.h"
#include "support/number_text.h"

namespace quillet {

MailSettings formEmailSetup::LiveSettings() const {
    MailSettings settings{txtDisplayName.Text(), txtEmail.Text(),    txtSMTPserver.Text(),
                          txtPort.Text(),        chkSSL.Value(),     chkAuthRequired.Value(),
                          txtAccountName.Text(), txtPassword.Text(), {}};
    for (int i = 0; i < lstSendTo.ListCount(); ++i) {
        settings.send_to.push_back(lstSendTo.List(i));
    }
    return settings;
}

ReportOutcome formEmailSetup::EmailReport(const std::string& subject, const std::string& body,
                                          bool fresh_connection) {
    lblLog.SetForeColor(kLogRed);
    const MailSettings settings = LiveSettings();
    if (const auto error = FirstSettingsError(settings)) {
        LogMessage(*error);
        std::cerr << "quillet: mail not sent: " << *error << '\n';
        const auto kind = settings.send_to.empty() ? ReportOutcome::Kind::NoRecipients
                                                   : ReportOutcome::Kind::Invalid;
        return {kind, SendResult{kSendInvalidSettings, *error, true, std::nullopt}};
    }
    lblLog.SetCaption("");
    lblLog.SetForeColor(kLogBlack);

    const int32_t port = *ReadWholeNumber(settings.port);
    const int32_t authenticate = settings.auth_required;
    const int32_t use_ssl = settings.ssl;
    SendResult result =
        SendEmailUsingCDO(settings.server, port, authenticate, settings.account_name,
                          settings.password, use_ssl, settings.display_name, settings.email, "",
                          JoinRecipients(settings), subject, body, fresh_connection);

    if (result.code != 0) {
        lblLog.SetForeColor(kLogRed);
        LogMessage("Can't send message: check your e-mail settings.");
        return {result.composed ? ReportOutcome::Kind::Failed : ReportOutcome::Kind::Invalid,
                std::move(result)};
    }
    lblLog.SetForeColor(kLogGreen);
    LogMessage("Message sent successfully.");
    return {ReportOutcome::Kind::Sent, std::move(result)};
}

SendResult formEmailSetup::SendEmailUsingCDO(
    const std::string& SMTPServer, const int32_t& SMTPserverport, const int32_t& SMTPAuthenticate,
    const std::string& AccountName, const std::string& AccountPassword, const int32_t& SMTPUseSSL,
    const std::string& SenderName, const std::string& SenderEmail,
    [[maybe_unused]] const std::string& ToAddr, const std::string& bcc, const std::string& Subject,
    const std::string& TextBody, bool fresh_connection) {
    // ToAddr is taken but never put on the message: every recipient is a blind copy.
    SendRequest request;
    request.server = SMTPServer;
    request.port = SMTPserverport;
    request.login = SMTPAuthenticate != 0;
    request.account = AccountName;
    request.password = AccountPassword;
    request.ssl = SMTPUseSSL != 0;
    request.sender_name = SenderName;
    request.sender_address = SenderEmail;
    request.bcc = bcc;
    request.subject = Subject;
    request.body = TextBody;
    request.fresh_connection = fresh_connection;
    return SendPlainTextMail(services_.transport, request);
}

}  // namespace quillet
