// Mailing with the live settings: the status line's texts and the hand-over to the mail thread.
#include <algorithm>
#include <cctype>

#include "mail/send_plain_text_mail.h"
#include "mail/settings_check.h"
#include "settings/form_email_setup.h"
#include "support/number_text.h"
#include "support/trim.h"

namespace quillet {

MailSettings formEmailSetup::LiveSettings() const {
    MailSettings settings{txtDisplayName.Text(), txtEmail.Text(),    txtSMTPserver.Text(),
                          txtPort.Text(),        chkSSL.Value(),     chkAuthRequired.Value(),
                          txtAccountName.Text(), txtPassword.Text(), {},
                          txtTokenCommand.Text()};
    for (int i = 0; i < lstSendTo.ListCount(); ++i) {
        settings.send_to.push_back(lstSendTo.List(i));
        if (const auto rule = Rules.find(lstSendTo.List(i)); rule != Rules.end()) {
            settings.rules.insert(*rule);
        }
    }
    const auto limit = [](const std::string& text) {
        return std::max(ReadWholeNumber(TrimSpaces(text)).value_or(0), 0);
    };
    settings.per_minute = limit(txtPerMinute.Text());
    settings.per_day = limit(txtPerDay.Text());
    settings.merge_waiting = chkMergeWaiting.IsOn();
    return settings;
}

void formEmailSetup::EmailReport(const std::string& subject, const std::string& body,
                                 bool fresh_connection, std::function<void(const SendResult&)> done,
                                 CancelFlag cancel) {
    const MailSettings settings = live_.Value();
    if (const Result<> checked = CheckMailSettings(settings); !checked) {
        Say(services_.log, "mail not sent: " + checked.error().message);
        const SendResult refused{SendFailure::kInvalidSettings, checked.error().message, true,
                                 std::nullopt};
        ShowOutcome(refused);
        if (done) {
            done(refused);
        }
        return;
    }
    lblLog.SetCaption("");
    lblLog.SetForeColor(kLogBlack);
    services_.mail.Submit(
        [&transport = services_.transport, settings, subject, body, fresh_connection,
         cancel = std::move(cancel)] {
            return SendEmailUsingCDO(transport, settings, subject, body, fresh_connection, cancel);
        },
        lifetime_.Guard([this, done = std::move(done)](const SendResult& result) {
            ShowOutcome(result);
            if (done) {
                done(result);
            }
        }));
}

void formEmailSetup::ShowOutcome(const SendResult& result) {
    if (result.failure == SendFailure::kCancelled) {
        ShowLogWhile(kLogBlack,
                     "Test message cancelled: the connection to " + test_server_ + " is closed.",
                     [this, shown = LiveSettings()] { return LiveSettings() == shown; });
    } else if (result.failure == SendFailure::kInvalidSettings) {
        lblLog.SetForeColor(kLogRed);
        LogMessage(result.reason);
    } else if (!result.ok()) {
        lblLog.SetForeColor(kLogRed);
        // The reason follows, as a sentence of its own: what happened, and the fix.
        std::string reason = result.reason;
        if (!reason.empty()) {
            reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
            reason = " " + reason + (reason.back() == '.' ? "" : ".");
        }
        LogMessage("Can't send message: check your e-mail settings." + reason);
    } else if (!result.refused.empty()) {
        lblLog.SetForeColor(kLogRed);
        std::string refused;
        for (const RefusedRecipient& recipient : result.refused) {
            refused +=
                (refused.empty() ? " " : ", ") + recipient.address + " (" + recipient.reply + ")";
        }
        LogMessage("Message sent, but not to" + refused + ".");
    } else {
        lblLog.SetForeColor(kLogGreen);
        LogMessage("Message sent successfully.");
    }
}

SendResult formEmailSetup::SendEmailUsingCDO(SmtpTransport& transport, const MailSettings& settings,
                                             const std::string& Subject,
                                             const std::string& TextBody, bool fresh_connection,
                                             const CancelFlag& cancel) {
    return ComposeAndSend(transport, settings, Subject, TextBody, fresh_connection, {}, cancel);
}

}  // namespace quillet
