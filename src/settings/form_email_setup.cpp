#include "settings/form_email_setup.h"

#include "accounts/form_accounts.h"
#include "mail/mail_message.h"
#include "mail/mailbox_address.h"
#include "mail/server_name.h"
#include "ui/screen.h"

namespace quillet {
namespace {

constexpr const char* kSettingsTitle = "Quillet";
constexpr const char* kAddressPrompt =
    "Please type in an e-mail address that you would like to send the order instructions to:";
constexpr const char* kAddressTitle = "Add E-mail Address";

constexpr int16_t kAddNew = 0;
constexpr int16_t kDelete = 1;
constexpr int16_t kEdit = 2;

// The first selected entry's position, or -1.
int FirstSelected(const ListBox& list) {
    for (int i = 0; i < list.ListCount(); ++i) {
        if (list.Selected(i)) {
            return i;
        }
    }
    return -1;
}

}  // namespace

formEmailSetup::formEmailSetup(const EmailSetupServices& services, LiveMailSettings& live,
                               PasswordKeeper* keeper)
    : services_(services), live_(live), keeper_(keeper) {
    chkAuthRequired.OnClick([this] { chkAuthRequired_Click(); });
    cmbServerTemplate.OnClick([this] { cmbServerTemplate_Click(); });
    chkHttp.OnClick([this] {
        if (!loading_) {
            chkHttp_Click();
        }
    });
    chkAuthRequired_Click();  // the account fields start as the cleared box has them
    for (Observable* control : std::initializer_list<Observable*>{
             &txtDisplayName, &txtEmail, &txtSMTPserver, &txtPort, &chkSSL, &chkAuthRequired,
             &txtAccountName, &txtPassword, &lstSendTo}) {
        edits_.push_back(control->Observe([this] { Publish(); }));
    }
    for (Observable* control : std::initializer_list<Observable*>{&txtTokenCommand, &txtPerMinute,
                                                                  &txtPerDay, &chkMergeWaiting}) {
        edits_.push_back(control->Observe([this] { Publish(); }));
    }
    cmdCancelTest.SetEnabled(false);
    log_checks_.push_back(lblLog.Observe([this] { OnLogShown(); }));
    for (Observable* control : std::initializer_list<Observable*>{&chkHttp, &txtHttpPort}) {
        log_checks_.push_back(control->Observe([this] { KeepLogTrue(); }));
    }
}

formEmailSetup::~formEmailSetup() {
    lifetime_.End();
    if (ending_test_) {
        ending_test_();
    }
}

void formEmailSetup::Form_Load() {
    FillTemplates();
    cmbServerTemplate.Clear();
    for (const ServerTemplate& t : Templates) {
        cmbServerTemplate.AddItem(t.TemplateName);
    }
    loading_ = true;
    const Result<> loaded = INIfileRead();
    SelectLoadedTemplate();
    loading_ = false;
    Publish();
    chkHttp_Click();
    AskForPassword();
    if (!loaded.ok()) {
        services_.screen.ShowMessage("The settings could not be read: " + loaded.error().message,
                                     kSettingsTitle, MessageIcon::Exclamation);
    }
}

void formEmailSetup::Publish() {
    if (loading_) {
        return;
    }
    live_.Set(LiveSettings());
    // Warned once each time the settings come to send the password unencrypted.
    const MailSettings& now = live_.Value();
    const auto host = UsableServerHost(now.server);
    const bool in_clear = now.auth_required != 0 && now.ssl == 0 && host && !IsLoopbackHost(*host);
    const bool warn = in_clear && !login_in_clear_;
    login_in_clear_ = in_clear;
    if (warn) {
        ShowLogWhile(kLogRed,
                     "Warning: the password would travel unencrypted: turn on the secure "
                     "connection (SSL), or turn off authentication.",
                     [this] { return login_in_clear_; });
    }
    KeepLogTrue();
}

void formEmailSetup::ShowLogWhile(Colour colour, const std::string& text,
                                  std::function<bool()> holds) {
    lblLog.SetForeColor(colour);
    LogMessage(text);
    log_holds_ = std::move(holds);
}

void formEmailSetup::OnLogShown() {
    if (lblLog.Caption() == log_seen_) {
        return;  // a change of colour only
    }
    log_seen_ = lblLog.Caption();
    log_holds_ = nullptr;
    if (!log_seen_.empty() && (lblLog.ForeColor() == kLogRed || lblLog.ForeColor() == kLogGreen)) {
        log_holds_ = [this, shown = LiveSettings()] { return LiveSettings() == shown; };
    }
}

void formEmailSetup::KeepLogTrue() {
    if (log_holds_ && !log_holds_()) {
        log_holds_ = nullptr;
        lblLog.SetCaption("");
    }
}

void formEmailSetup::chkHttp_Click() {
    if (!services_.http_setting) {
        return;
    }
    const HttpRowState row = services_.http_setting(chkHttp.IsOn(), txtHttpPort.Text());
    txtHttpToken.SetText(row.token);
    if (!row.error.empty()) {
        ShowLogWhile(kLogRed, row.error, [this, on = chkHttp.Value(), port = txtHttpPort.Text()] {
            return chkHttp.Value() == on && txtHttpPort.Text() == port;
        });
    }
}

void formEmailSetup::Form_Unload() {
    SaveSettings();
}

void formEmailSetup::SaveSettings() {
    if (const Result<> written = INIfileWrite(); !written.ok()) {
        services_.screen.ShowMessage("The settings could not be saved: " + written.error().message,
                                     kSettingsTitle, MessageIcon::Critical);
    }
}

void formEmailSetup::chkAuthRequired_Click() {
    txtAccountName.SetEnabled(chkAuthRequired.IsOn());
    txtPassword.SetEnabled(txtAccountName.Enabled());
}

void formEmailSetup::cmdAddEmail_Click(int16_t Index) {
    Screen& screen = services_.screen;
    if (Index == kAddNew) {
        std::string answer = screen.InputBox(kAddressPrompt, kAddressTitle, "");
        if (!answer.empty()) {
            lstSendTo.AddItem(answer);
            ShowIfNotAnAddress(answer);
        }
    } else if (Index == kDelete) {
        for (int i = FirstSelected(lstSendTo); i >= 0; i = FirstSelected(lstSendTo)) {
            lstSendTo.RemoveItem(i);
        }
    } else if (Index == kEdit) {
        const int i = FirstSelected(lstSendTo);
        if (i < 0) {
            return;
        }
        std::string answer = screen.InputBox(kAddressPrompt, kAddressTitle, lstSendTo.List(i));
        if (!answer.empty()) {
            lstSendTo.SetList(i, answer);
            ShowIfNotAnAddress(answer);
        }
    }
}

void formEmailSetup::cmdRules_Click() {
    const int i = FirstSelected(lstSendTo);
    if (i < 0) {
        return;
    }
    const std::string entry = lstSendTo.List(i);
    const auto found = Rules.find(entry);
    const auto answer =
        services_.screen.AskRecipientRule(entry, found == Rules.end() ? "" : found->second);
    if (!answer) {
        return;
    }
    if (answer->empty()) {
        Rules.erase(entry);
    } else {
        Rules[entry] = *answer;
    }
    Publish();
}

void formEmailSetup::cmdHelp_Click() {
    services_.screen.OpenHelp("setup.html");
}

void formEmailSetup::Command1_Click() {
    chkHttp_Click();
    SaveSettings();  // the settings in effect survive the program's end, whatever ends it
    services_.screen.HideSetupDialog();
}

void formEmailSetup::Command2_Click() {
    if (!Command2.Enabled()) {
        return;  // one test message at a time
    }
    Command2.SetEnabled(false);
    Screen& screen = services_.screen;
    screen.SetBusyPointer(true);
    // Told even when the form has gone, so the hourglass never stays.
    auto finished = std::make_shared<bool>(false);
    auto end = [&screen, finished, sent = services_.test_message_sent](bool delivered) {
        if (!*finished) {
            *finished = true;
            screen.SetBusyPointer(false);
            if (delivered && sent) {
                sent();
            }
        }
    };
    // A test of the settings: over a connection of its own, never one kept from an order.
    const MailSettings& settings = live_.Value();
    test_server_ = settings.server + ":" + settings.port;
    test_under_way_ = true;
    test_cancel_ = CancelFlag{};
    EmailReport(
        "test email", "Just testing...", true,
        [this, end](const SendResult& result) {
            test_under_way_ = false;
            cmdCancelTest.SetEnabled(false);
            Command2.SetEnabled(true);
            end(result.ok());
        },
        test_cancel_);
    ending_test_ = [end] { end(false); };
    if (test_under_way_) {  // not refused at once
        ShowLogWhile(kLogBlack, "Connecting to " + test_server_ + "\u2026", nullptr);
        cmdCancelTest.SetEnabled(true);
    }
}

void formEmailSetup::cmdCancelTest_Click() {
    if (!cmdCancelTest.Enabled() || !test_under_way_) {
        return;
    }
    cmdCancelTest.SetEnabled(false);
    test_cancel_.Set();
    ending_test_();
    ShowLogWhile(kLogBlack, "Cancelling the test message to " + test_server_ + "\u2026", nullptr);
}

void formEmailSetup::cmdWatch_Click() {
    if (services_.watch_settings) {
        services_.watch_settings();
    }
}

void formEmailSetup::cmdGuess_Click() {
    // AccountSelected: whether OK chose an account in this search.
    std::optional<MailAccount> chosen;
    {
        formAccounts accounts(services_.account_sources, services_.screen);
        accounts.Form_Load();
        services_.screen.ShowAccountsDialogModal(accounts);
        chosen = accounts.ChosenAccount();
    }
    if (chosen) {
        TakeAccount(*chosen);
    }
    chkAuthRequired_Click();
    if (chkAuthRequired.IsOn() && chosen && chosen->TokenLogin != 0) {
        if (txtTokenCommand.Text().empty()) {
            services_.screen.ShowMessage(
                "Selected e-mail account signs in with a token (OAuth2). Please enter the "
                "command that prints its access token, for example: oama access " +
                    chosen->UserName,
                "Quillet", MessageIcon::Information);
            txtTokenCommand.SetFocus();
        }
    } else if (chkAuthRequired.IsOn() && chosen) {
        services_.screen.ShowMessage(
            "Selected e-mail account requires authentication. Please enter your account "
            "password.",
            "Quillet", MessageIcon::Information);
        txtPassword.SetFocus();
    }
}

void formEmailSetup::TakeAccount(const MailAccount& account) {
    cmbServerTemplate.SetListIndex(MatchingTemplate(account.Server) - 1);
    txtDisplayName.SetText(account.DisplayName);
    txtEmail.SetText(account.Email);
    txtSMTPserver.SetText(account.Server);
    txtPort.SetText(account.Port.empty() ? "25" : account.Port);
    chkSSL.SetValue(account.SecConn != 0 ? 1 : 0);
    chkAuthRequired.SetValue(account.ReqAuth != 0 ? 1 : 0);
    txtAccountName.SetText(account.ReqAuth != 0 ? account.UserName : "");
    txtPassword.SetText("");
    txtTokenCommand.SetText(account.TokenCommand);
}

void formEmailSetup::ShowIfNotAnAddress(const std::string& entry) {
    if (!IsMailboxAddress(EnvelopeAddress(entry))) {
        lblLog.SetForeColor(kLogRed);
        LogMessage("Error: " + entry + " address does not seem to be valid.");
    }
}

void formEmailSetup::LogMessage(const std::string& text) {
    lblLog.SetCaption(text);
}

}  // namespace quillet
