// The "E-Mail Setup" dialog's form: the state of its controls and its handlers.
//
// Its nine settings controls are the live mail settings, the one place where the program
// holds the sender, the server and the recipients while it runs: every reader takes them
// from here at the moment of use, every writer puts them here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "support/controls.h"

namespace quillet {

class ProfileFile;
class Screen;
class SmtpTransport;

inline constexpr Colour kLogRed{200, 0, 0};
inline constexpr Colour kLogBlack{0, 0, 0};
inline constexpr Colour kLogGreen{0, 128, 0};

// The most recipients the settings file is read for, so that a damaged count can neither
// stall the start nor fill the memory.
inline constexpr int kMaxStoredRecipients = 10000;

class formEmailSetup {
  public:
    // Mail goes out through `transport`; the settings are kept in `settings_file`; messages
    // and prompts go to `screen`. All three must outlive the form.
    formEmailSetup(SmtpTransport& transport, ProfileFile& settings_file, Screen& screen);
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

    // Load: fills the settings from the settings file. A file that exists but cannot be read
    // is reported on the screen, and the settings are then empty.
    void Form_Load();
    // Unload: writes the settings to the settings file. A failed save is reported on the
    // screen, naming the file and the reason; the unload goes on.
    void Form_Unload();

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

    // The settings file: every key and value in Base64 with "$" for "=", in the section
    // "Quillet". A missing key reads as empty text.
    std::string INIfileReadOneItem(const std::string& key);
    // Stages `value` (blanks around it dropped) under `key`, or the key's removal when nothing
    // is left of it; the file changes at the next save.
    void INIfileWriteOneItem(const std::string& key, const std::string& value);
    // Fills the nine settings from the file, which is read afresh. A check state outside 0 to
    // 2 reads as 0; a recipient count that is negative or not a number reads as 0, and one
    // above kMaxStoredRecipients as that bound. Gives the reason when the file exists but
    // cannot be read (the settings are then empty).
    std::optional<std::string> INIfileRead();
    // Writes the nine settings to the file in one replacement. Gives the reason when the file
    // could not be written; it is then as it was.
    std::optional<std::string> INIfileWrite();

  private:
    SmtpTransport& transport_;
    ProfileFile& settings_file_;
    Screen& screen_;
};

}  // namespace quillet
