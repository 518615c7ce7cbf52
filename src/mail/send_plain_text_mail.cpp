#include "mail/send_plain_text_mail.h"

#include "mail/command_line.h"
#include "mail/mail_message.h"
#include "mail/mailbox_address.h"
#include "mail/server_name.h"

namespace quillet {
namespace {

constexpr int kImplicitTlsPort = 465;

SendResult Refuse(SendFailure failure, std::string why, std::optional<ComposedMail> composed = {}) {
    return SendResult{failure, std::move(why), true, std::move(composed)};
}

// The first envelope address of `mail` that is not a mailbox, quoted, for the reason of a
// refusal; empty when every one is.
std::string FirstBadAddress(const ComposedMail& mail) {
    if (!IsMailboxAddress(mail.mail_from)) {
        return '"' + mail.mail_from + '"';
    }
    for (const std::string& recipient : mail.recipients) {
        if (!IsMailboxAddress(recipient)) {
            return '"' + recipient + '"';
        }
    }
    return {};
}

}  // namespace

SendResult ComposePlainTextMail(const SendRequest& request) {
    // A line break would end the SMTP command early and let the rest of the text stand as a
    // command of its own; a NUL would cut the text short.
    if (HoldsLineBreakOrNul(request.sender_address) || HoldsLineBreakOrNul(request.bcc)) {
        return Refuse(SendFailure::kUnsafeText, "an address or the login holds a line break");
    }
    ComposedMail mail;
    mail.mail_from = EnvelopeAddress(request.sender_address);
    if (mail.mail_from.empty()) {
        return Refuse(SendFailure::kNoSenderAddress, "the sender address is empty");
    }
    mail.recipients = SplitAddressList(request.bcc);
    if (mail.recipients.empty()) {
        return Refuse(SendFailure::kNoRecipient, "there is no recipient");
    }
    if (std::string bad = FirstBadAddress(mail); !bad.empty()) {
        return Refuse(SendFailure::kBadAddress, "the address " + bad + " is not a mailbox address");
    }
    const MailContent content{request.sender_name, request.sender_address, request.subject,
                              request.body,        request.attachment,     request.in_reply_to};
    mail.message_id = request.message_id_left.empty()
                          ? NewMessageId(request.sender_address)
                          : MessageIdOf(request.message_id_left, request.sender_address);
    mail.message = BuildMessage(content, std::chrono::system_clock::now(), mail.message_id);
    return SendResult{SendFailure::kNone, "", false, std::move(mail)};
}

SendResult SendPlainTextMail(SmtpTransport& transport, const SendRequest& request) {
    SendResult composed = ComposePlainTextMail(request);
    if (!composed.ok()) {
        return composed;
    }
    return DeliverComposedMail(transport, request, *composed.composed);
}

SendResult DeliverComposedMail(SmtpTransport& transport, const SendRequest& request,
                               const ComposedMail& mail) {
    // A kept mail was checked when composed; its file may have been changed since.
    if (mail.recipients.empty()) {
        return Refuse(SendFailure::kNoRecipient, "there is no recipient", mail);
    }
    if (std::string bad = FirstBadAddress(mail); !bad.empty()) {
        return Refuse(SendFailure::kBadAddress, "the address " + bad + " is not a mailbox address",
                      mail);
    }
    if (request.port < 1 || request.port > 65535) {
        return Refuse(SendFailure::kBadPort, "the server port is not a number from 1 to 65535",
                      mail);
    }
    const std::optional<std::string> host = UsableServerHost(request.server);
    if (!host) {
        return Refuse(SendFailure::kBadServer, "the server name is not a host name", mail);
    }
    if (request.login &&
        (HoldsLineBreakOrNul(request.account) || HoldsLineBreakOrNul(request.password))) {
        return Refuse(SendFailure::kUnsafeText, "an address or the login holds a line break", mail);
    }
    if (request.login && !request.ssl && !IsLoopbackHost(*host)) {
        // Anyone on the way could read the password, and then mail in the trader's name.
        return Refuse(SendFailure::kLoginInClear,
                      "the password would travel unencrypted: turn on the secure connection "
                      "(SSL), or turn off authentication",
                      mail);
    }
    SmtpDelivery delivery;
    delivery.host = *host;
    delivery.port = request.port;
    delivery.security = !request.ssl                       ? SmtpSecurity::Plain
                        : request.port == kImplicitTlsPort ? SmtpSecurity::ImplicitTls
                                                           : SmtpSecurity::StartTls;
    delivery.login = request.login;
    if (request.login) {
        delivery.user = request.account;
        delivery.password = request.password;
    }
    if (request.login && request.token_command.find_first_not_of(" \t") != std::string::npos) {
        auto words = SplitCommandLine(request.token_command);
        if (!words.ok()) {
            return SendResult{SendFailure::kBadTokenCommand,
                              "the token command: " + words.error().message, true, mail};
        }
        delivery.token_command = std::move(words).value();
    }
    delivery.mail_from = mail.mail_from;
    delivery.recipients = mail.recipients;
    delivery.message = mail.message;
    delivery.fresh_connection = request.fresh_connection;
    delivery.cancel = request.cancel;
    SmtpResult result = transport.Deliver(delivery);
    const SendFailure failure = result.code == 0   ? SendFailure::kNone
                                : result.cancelled ? SendFailure::kCancelled
                                                   : SendFailure::kTransport;
    return SendResult{failure, result.message,      result.permanent,
                      mail,    result.server_reply, std::move(result.refused)};
}

}  // namespace quillet
