#include "mail/settings_check.h"

#include <algorithm>
#include <utility>

#include "mail/mail_message.h"
#include "mail/mailbox_address.h"
#include "mail/server_name.h"
#include "support/number_text.h"

namespace quillet {
namespace {

// Empty once leading and trailing space characters are gone.
bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

// An entry of the settings ("addr" or "Name <addr>") whose address may stand in the envelope.
bool IsUsableAddress(const std::string& entry) {
    return IsMailboxAddress(EnvelopeAddress(entry));
}

}  // namespace

Result<> CheckMailSettings(const MailSettings& settings) {
    if (IsBlank(settings.display_name)) {
        return Fail("Error: Sender's display name is empty.");
    }
    if (IsBlank(settings.email)) {
        return Fail("Error: Sender's e-mail address is empty.");
    }
    if (!IsUsableAddress(settings.email)) {
        return Fail("Error: Sender's e-mail address does not seem to be valid.");
    }
    if (IsBlank(settings.server)) {
        return Fail("Error: Outgoing mail server (SMTP) name is empty.");
    }
    if (IsBlank(settings.port)) {
        return Fail("Error: SMTP server port number is empty.");
    }
    if (settings.auth_required != 0) {
        if (IsBlank(settings.account_name)) {
            return Fail("Error: Account name is empty.");
        }
        if (IsBlank(settings.password) && IsBlank(settings.token_command)) {
            return Fail("Error: Password is empty.");
        }
    }
    if (settings.send_to.empty()) {
        return Fail("Error: 'Send E-mail To' list is empty.");
    }
    for (const std::string& address : settings.send_to) {
        if (!IsUsableAddress(address)) {
            return Fail("Error: " + address + " address does not seem to be valid.");
        }
    }
    if (!ReadWholeNumber(settings.port)) {
        return Fail("Error: SMTP server port number is not valid.");
    }
    if (!UsableServerHost(settings.server)) {
        return Fail(
            "Error: Outgoing mail server (SMTP) name is not valid: give the name or address "
            "alone, the port in its own field.");
    }
    return {};
}

std::optional<std::string> MailNotSetUp(const MailSettings& settings) {
    if (IsBlank(settings.server)) {
        return "the outgoing mail server (SMTP) name is empty";
    }
    if (settings.send_to.empty()) {
        return "the 'Send E-mail To' list is empty";
    }
    return std::nullopt;
}

std::string JoinRecipients(const MailSettings& settings) {
    std::string joined;
    for (size_t i = 0; i < settings.send_to.size(); ++i) {
        // The bare address alone: a comma in a name ("Doe, John <j@x.com>") is no separator.
        joined += (i > 0 ? "," : "") + EnvelopeAddress(settings.send_to[i]);
    }
    return joined;
}

SendRequest MailRequestFor(const MailSettings& settings) {
    SendRequest request;
    request.server = settings.server;
    request.port = *ReadWholeNumber(settings.port);
    request.login = settings.auth_required != 0;
    request.account = settings.account_name;
    request.password = settings.password;
    request.token_command = settings.token_command;
    request.ssl = settings.ssl != 0;
    request.sender_name = settings.display_name;
    request.sender_address = settings.email;
    request.bcc = JoinRecipients(settings);
    return request;
}

namespace {

// The request of `settings` for a message of `subject` and `body`, under the Message-ID that
// `message_id_left` makes, if any, following the mail `in_reply_to` names, if any.
SendRequest MessageRequest(const MailSettings& settings, const std::string& subject,
                           const std::string& body, const std::string& message_id_left,
                           const std::string& in_reply_to,
                           const std::optional<MailAttachment>& attachment) {
    SendRequest request = MailRequestFor(settings);
    request.subject = subject;
    request.body = body;
    request.message_id_left = message_id_left;
    request.attachment = attachment;
    request.in_reply_to = in_reply_to;
    return request;
}

}  // namespace

SendResult RetryMail(SmtpTransport& transport, const MailSettings& settings,
                     const ComposedMail& mail, const std::vector<std::string>& already) {
    if (const Result<> checked = CheckMailSettings(settings); !checked) {
        return SendResult{SendFailure::kInvalidSettings, checked.error().message, true, mail};
    }
    const SendRequest request = MailRequestFor(settings);
    ComposedMail now = mail;
    now.mail_from = EnvelopeAddress(request.sender_address);
    now.recipients = SplitAddressList(request.bcc);
    std::erase_if(now.recipients, [&already](const std::string& recipient) {
        return std::find(already.begin(), already.end(), recipient) != already.end();
    });
    if (const size_t first_line = now.message.find("\r\n");
        now.message.starts_with("From: ") && first_line != std::string::npos) {
        now.message.replace(0, first_line + 2,
                            FromHeader(request.sender_name, request.sender_address));
    }
    return DeliverComposedMail(transport, request, now);
}

SendResult ComposeWith(const MailSettings& settings, const std::string& subject,
                       const std::string& body, const std::string& message_id_left,
                       const std::string& in_reply_to,
                       const std::optional<MailAttachment>& attachment) {
    if (const Result<> checked = CheckMailSettings(settings); !checked) {
        return SendResult{SendFailure::kInvalidSettings, checked.error().message, true,
                          std::nullopt};
    }
    return ComposePlainTextMail(
        MessageRequest(settings, subject, body, message_id_left, in_reply_to, attachment));
}

SendResult ComposeAndSend(SmtpTransport& transport, const MailSettings& settings,
                          const std::string& subject, const std::string& body,
                          bool fresh_connection, const std::string& message_id_left,
                          CancelFlag cancel, const std::string& in_reply_to,
                          const std::optional<MailAttachment>& attachment) {
    if (const Result<> checked = CheckMailSettings(settings); !checked) {
        return SendResult{SendFailure::kInvalidSettings, checked.error().message, true,
                          std::nullopt};
    }
    SendRequest request =
        MessageRequest(settings, subject, body, message_id_left, in_reply_to, attachment);
    request.fresh_connection = fresh_connection;
    request.cancel = std::move(cancel);
    return SendPlainTextMail(transport, request);
}

}  // namespace quillet
