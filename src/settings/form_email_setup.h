// The "E-Mail Setup" dialog's form: the state of its controls and its handlers.
//
// Its nine settings controls are the live mail settings, the one place where the program
// holds the sender, the server and the recipients while it runs: every reader takes them
// from here at the moment of use, every writer puts them here.
#pragma once

#include <cstdint>
#include <string>

#include "support/controls.h"

namespace quillet {

class SmtpTransport;

inline constexpr Colour kLogRed{200, 0, 0};
inline constexpr Colour kLogBlack{0, 0, 0};
inline constexpr Colour kLogGreen{0, 128, 0};

class formEmailSetup {
public:
    // Mail goes out through `transport`, which must outlive the form.
    explicit formEmailSetup(SmtpTransport& transport);
    formEmailSetup(const formEmailSetup&) = delete;
    formEmailSetup& operator=(const formEmailSetup&) = delete;

    // The live mail settings, in the order the settings file stores them.
    TextBox txtDisplayName;
    TextBox txtEmail;
    TextBox txtSMTPserver;
    TextBox txtPort;  // the port as typed or loaded; read as a number only when mailing
    CheckBox chkSSL;
    CheckBox chkAuthRequired;
    TextBox txtAccountName;
    TextBox txtPassword;
    ListBox lstSendTo;  // the recipients, one address per entry, first entry first

    // The status line: the outcome of the latest mailing, in its colour.
    Label lblLog;

    // Sets the caption of lblLog to `text`; leaves its colour alone.
    void LogMessage(const std::string& text);

    // Mails the program-wide EmailSubject and EmailBody with the live settings. Checks the
    // settings in a fixed order and, at the first problem, shows its error in red in lblLog
    // and sends nothing; otherwise sends one message to every recipient as blind copies and
    // shows "Message sent successfully." in green or "Can't send message: check your e-mail
    // settings." in red. Never fails to its caller; blocks until the exchange has ended.
    void EmailReport();

    // Sends one plain-text message; see mail/send_email.h. 0 when the server accepted it.
    int32_t SendEmailUsingCDO(const std::string& SMTPServer, const int32_t& SMTPserverport,
                              const int32_t& SMTPAuthenticate, const std::string& AccountName,
                              const std::string& AccountPassword, const int32_t& SMTPUseSSL,
                              const std::string& SenderName, const std::string& SenderEmail,
                              const std::string& ToAddr, const std::string& bcc,
                              const std::string& Subject, const std::string& TextBody);

private:
    SmtpTransport& transport_;
};

}  // namespace quillet
