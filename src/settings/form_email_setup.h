// The "E-Mail Setup" dialog's form: the state of its controls and its handlers.
//
// Its nine settings controls edit the live mail settings (LiveMailSettings) as they change:
// an edit takes effect at once, whether made by the user or by code. Readers take the settings
// from that object, never from the form.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "accounts/mail_account.h"
#include "mail/mail_runner.h"
#include "mail/mail_settings.h"
#include "mail/send_plain_text_mail.h"
#include "settings/live_mail_settings.h"
#include "settings/server_templates.h"
#include "support/cancel_flag.h"
#include "support/lifetime.h"
#include "support/log_sink.h"
#include "support/result.h"
#include "ui/controls.h"

namespace quillet {

class PasswordKeeper;
class ProfileFile;
struct AccountSources;
class Screen;
class SmtpTransport;

inline constexpr Colour kLogRed{200, 0, 0};
inline constexpr Colour kLogBlack{0, 0, 0};
inline constexpr Colour kLogGreen{0, 128, 0};

// The most recipients the settings file is read for, so that a damaged count can neither
// stall the start nor fill the memory.
inline constexpr int kMaxStoredRecipients = 10000;

// What the row of the local HTTP endpoint shows once the endpoint has followed its setting.
struct HttpRowState {
    std::string token;  // the token callers name; empty while the endpoint is off
    std::string error;  // why it is off although asked for; empty otherwise
};

// What the dialog works with; everything referred to must outlive the dialog.
struct EmailSetupServices {
    SmtpTransport& transport;                           // where mail goes out: on `mail`
    MailRunner& mail;                                   // the mail thread
    ProfileFile& settings_file;                         // where the settings are kept
    Screen& screen;                                     // messages, prompts, windows
    const AccountSources* account_sources = nullptr;    // where "Search Accounts..." looks
    std::function<void()> test_message_sent = nullptr;  // told after a test message went out
    // Turns the local HTTP endpoint on (at the port as typed) or off; none: no endpoint.
    std::function<HttpRowState(bool on, const std::string& port)> http_setting = nullptr;
    // Told why a message was not sent.
    LogSink log = nullptr;
    // "Alarm and Summary...": opens the settings of the alarm and of the daily summary; none:
    // the dialog has no such button.
    std::function<void()> watch_settings = nullptr;
};

class formEmailSetup {
  public:
    // The form edits `live`, which must outlive it, as must `keeper` (none: the password is
    // kept in the settings file alone).
    formEmailSetup(const EmailSetupServices& services, LiveMailSettings& live,
                   PasswordKeeper* keeper = nullptr);
    // A mail under way when the form goes ends without touching it.
    ~formEmailSetup();
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
    // The recipients' rules (RuleText), by entry: which order mails each gets, and in which
    // form; an entry without one gets every mail in the full form. Part of the live settings;
    // kept in the settings file beside the recipients. A rule goes with its entry's text: an
    // edited entry has the default rule.
    std::map<std::string, std::string> Rules;

    // The server templates, entry p being template p + 1.
    ComboBox cmbServerTemplate;
    // The templates of this load, template i at Templates[i - 1]: FillTemplates makes them from
    // kServerTemplates, and the load puts the loaded settings into the one they match.
    std::vector<ServerTemplate> Templates;

    // The status line: the outcome of the latest mailing, in its colour. It is cleared once
    // what it speaks of changes: an outcome or an error in red or green once the nine settings
    // differ from what they were when it was shown; the HTTP row's error once the row changes;
    // the warning of a password in the clear once it no longer holds; the note of a token login
    // once a token command is named.
    Label lblLog;
    // "Send Test E-mail": disabled while a test message is under way.
    CommandButton Command2;
    // "Cancel", beside the status line: enabled (and shown) only while a test message is under
    // way, when the status line says "Connecting to HOST:PORT…".
    CommandButton cmdCancelTest;

    // The local HTTP endpoint's row, below the rest: "Take orders over HTTP on 127.0.0.1,
    // port", the port, and the token (read-only). Kept in the settings file with the others;
    // not mail settings.
    CheckBox chkHttp;
    TextBox txtHttpPort;
    TextBox txtHttpToken;

    // "Sign in with a token command:", the row below: a command line (run without a shell)
    // whose first output line is the access token of a token login (XOAUTH2), used in place of
    // the password when authentication is required. A mail setting, kept in the settings file.
    TextBox txtTokenCommand;

    // "Send at most", the row below: messages a minute and recipients a day, as the account's
    // provider allows (MailSettings::per_minute, per_day); blank, 0 or anything but a whole
    // number from 1: no limit. A template brings its provider's figures. Mail settings, kept in
    // the settings file.
    TextBox txtPerMinute;
    TextBox txtPerDay;
    // "When mails wait, send the waiting order lines together.", below them: checked, order
    // mails that waited go as one mail of their lines (MailSettings::merge_waiting); cleared at
    // first. A mail setting, kept in the settings file.
    CheckBox chkMergeWaiting;

    // Load: fills the template list, reads the settings file and selects the template that
    // matches the loaded server, which takes over the loaded values; the live settings then
    // take the loaded ones, all at once. A file that exists but cannot be read is then reported
    // on the screen, and the settings are empty.
    void Form_Load();
    // Unload: writes the settings to the settings file. A failed save is reported on the
    // screen, naming the file and the reason; the unload goes on.
    void Form_Unload();

    // The account fields are editable exactly when authentication is not cleared; their
    // texts stay either way.
    void chkAuthRequired_Click();
    // Applies the selected template to the server fields; sender and recipients stay.
    void cmbServerTemplate_Click();
    // The recipient buttons: 0 "Add New", 1 "Delete" (every selected entry), 2 "Edit" (the
    // first selected entry). A blank or cancelled answer changes nothing.
    void cmdAddEmail_Click(int16_t Index);
    // "Rules...", below the rest: asks for the rule of the first selected recipient
    // (Screen::AskRecipientRule) and keeps the answer; a cancel changes nothing, and without a
    // selected recipient nothing is asked.
    void cmdRules_Click();
    // "Help" (and F1): opens the help at the setup dialog's page (Screen::OpenHelp).
    void cmdHelp_Click();
    // "Close": writes the settings to the settings file, as the unload does (a failed save is
    // reported on the screen), and hides the dialog.
    void Command1_Click();
    // "Send Test E-mail": mails "test email" / "Just testing..." on the mail thread, with the
    // hourglass showing and the button disabled until the outcome; when the server accepts it,
    // tells `test_message_sent`. The hourglass goes even when the form has gone meanwhile.
    // While the message is under way the status line says "Connecting to HOST:PORT…" and
    // cmdCancelTest is enabled.
    void Command2_Click();
    // "Cancel" of a test message under way: ends its transfer. The hourglass goes at once and
    // the status line says "Cancelling the test message to HOST:PORT…"; within about a second
    // the connection is closed, the status line says "Test message cancelled: the connection to
    // HOST:PORT is closed." and "Send Test E-mail" takes clicks again. A message the server had
    // taken, or a failure, before the cancel was seen shows as that outcome. Does nothing when
    // no test is under way.
    void cmdCancelTest_Click();
    // "Search Accounts...": lets the user pick an account found on this machine, copies it
    // into the settings (TakeAccount), and asks for its password when it requires
    // authentication.
    void cmdGuess_Click();
    // "Alarm and Summary...": opens their settings (watch_settings); nothing without them.
    void cmdWatch_Click();
    bool HasWatchSettings() const { return services_.watch_settings != nullptr; }
    // Copies an account that the account dialog chose: the matching template first, then the
    // sender, the server and the login (with its token command); the password is emptied, the
    // recipients stay.
    void TakeAccount(const MailAccount& account);

    // The endpoint follows chkHttp and txtHttpPort (http_setting): at the load, when the box
    // changes, and at "Close" and the close box (not at the unload that ends the program). The
    // token shows in txtHttpToken; a reason why the endpoint is off although asked for shows in red
    // in lblLog.
    void chkHttp_Click();

    // Makes Templates anew from kServerTemplates.
    void FillTemplates();

    // An entry added to or edited in lstSendTo that is no mailbox address (IsMailboxAddress)
    // shows in red in lblLog as the test of the settings would refuse it; it is listed all the
    // same, to be edited.
    void ShowIfNotAnAddress(const std::string& entry);

    // Sets the caption of lblLog to `text`; leaves its colour alone.
    void LogMessage(const std::string& text);

    // The nine settings controls as one value.
    MailSettings LiveSettings() const;

    // Mails `subject` and `body` with the live settings. Checks the settings
    // (CheckMailSettings) and, at the first problem, shows its error in red in lblLog, sends
    // nothing and tells `done` at once; otherwise clears lblLog and sends one message to every
    // recipient as blind copies on the mail thread. The outcome shows (ShowOutcome) when it
    // comes, and then `done` is told it, on this thread; neither when the form has gone. With
    // `fresh_connection` the message never goes over a connection kept from an earlier one;
    // setting `cancel` ends the transfer under way (kCancelled).
    void EmailReport(const std::string& subject, const std::string& body, bool fresh_connection,
                     std::function<void(const SendResult&)> done, CancelFlag cancel = {});
    // Shows the outcome of a mailing in lblLog: a settings error as it stands, in red; "Can't
    // send message: check your e-mail settings." in red for another failure, followed by its
    // reason as a sentence; "Message sent successfully." in green, or in red "Message sent, but
    // not to b@example.com (452 4.2.2 Mailbox full)." when the server refused some recipients
    // (each named with its reply); for a cancelled test message
    // "Test message cancelled: the connection to HOST:PORT is closed." in black, until the
    // settings change.
    void ShowOutcome(const SendResult& result);

    // Sends one plain-text message of `Subject` and `TextBody` with `settings`, which
    // CheckMailSettings must pass, through the request every mail is sent with
    // (MailRequestFor): a token command logs in as it does for order mails. Its code is 0 when
    // the server accepted it. Blocks until the exchange has ended: for the mail thread.
    static SendResult SendEmailUsingCDO(SmtpTransport& transport, const MailSettings& settings,
                                        const std::string& Subject, const std::string& TextBody,
                                        bool fresh_connection = false,
                                        const CancelFlag& cancel = {});

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
    Result<> INIfileRead();
    // Writes the nine settings to the file in one replacement. Gives the reason when the file
    // could not be written; it is then as it was.
    Result<> INIfileWrite();

    // The keyring's key of the password: the server, port and account name as they stand.
    std::string CurrentPasswordKey() const;

  private:
    // At the load: asks the keyring for the password the file lacks; it fills txtPassword
    // when it comes, unless the user typed one meanwhile. No keyring: the status line says
    // the file keeps the password.
    void AskForPassword();
    // At the save: the password the file keeps (PasswordKeeper::ForFile).
    std::string StoredPassword();
    // Selects the template whose server is the loaded one ("Custom" when none is), after
    // copying the loaded values into it.
    void SelectLoadedTemplate();
    // Writes the settings file; a failure is reported on the screen, naming the file and the
    // reason.
    void SaveSettings();
    // The live settings take the controls' values, except while the file is being read.
    void Publish();
    // Shows `text` in `colour` in the status line until `holds` gives false (checked at every
    // change of the settings and of the HTTP row); a null `holds` keeps it until it is
    // replaced.
    void ShowLogWhile(Colour colour, const std::string& text, std::function<bool()> holds);
    // Notes a caption shown in the status line: a red or green one speaks of the settings as
    // they are now.
    void OnLogShown();
    // Clears the status line once what it speaks of has changed.
    void KeepLogTrue();

    EmailSetupServices services_;
    LiveMailSettings& live_;
    PasswordKeeper* keeper_;
    bool loading_ = false;
    bool login_in_clear_ = false;           // the settings would send the password unencrypted
    std::vector<Subscription> edits_;       // the controls' changes, published
    std::function<void()> ending_test_;     // ends the hourglass of a test message under way
    bool test_under_way_ = false;           // a test message's outcome has not come yet
    std::string test_server_;               // its server and port, "HOST:PORT"
    CancelFlag test_cancel_;                // set by "Cancel": ends its transfer
    std::string log_seen_;                  // the status line's caption, as OnLogShown last saw it
    std::function<bool()> log_holds_;       // whether the status line still speaks true
    std::vector<Subscription> log_checks_;  // the changes that may make it untrue
    Lifetime lifetime_;                     // what comes back from the mail thread and the keyring
};

}  // namespace quillet
