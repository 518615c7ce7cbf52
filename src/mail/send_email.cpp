#include "mail/send_email.h"

#include <iostream>

#include "mail/mail_message.h"
#include "settings/form_email_setup.h"
#include "support/trim.h"

namespace quillet {
namespace {

constexpr int kImplicitTlsPort = 465;

// A host name, an IPv4 address, or an IPv6 address with or without brackets: nothing that
// could change the meaning of the server's URL.
bool IsHostText(const std::string& host) {
    if (host.empty()) {
        return false;
    }
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_' || c == ':' ||
                        c == '[' || c == ']';
        if (!ok) {
            return false;
        }
    }
    return true;
}

int32_t Refuse(int32_t code, const char* why) {
    std::cerr << "quillet: mail not sent: " << why << '\n';
    return code;
}

}  // namespace

int32_t SendPlainTextMail(SmtpTransport& transport, const SendRequest& request) {
    if (request.port < 1 || request.port > 65535) {
        return Refuse(kSendBadPort, "the server port is not a number from 1 to 65535");
    }
    const std::string host(TrimBlanks(request.server));
    if (!IsHostText(host)) {
        return Refuse(kSendBadServer, "the server name is not a host name");
    }
    // A line break would end the SMTP command early and let the rest of the text stand as a
    // command of its own; a NUL would cut the text short.
    if (HoldsLineBreakOrNul(request.sender_address) || HoldsLineBreakOrNul(request.bcc) ||
        (request.login &&
         (HoldsLineBreakOrNul(request.account) || HoldsLineBreakOrNul(request.password)))) {
        return Refuse(kSendUnsafeText, "an address or the login holds a line break");
    }
    SmtpDelivery delivery;
    delivery.host = host;
    delivery.port = request.port;
    delivery.security = !request.ssl                       ? SmtpSecurity::Plain
                        : request.port == kImplicitTlsPort ? SmtpSecurity::ImplicitTls
                                                           : SmtpSecurity::StartTls;
    delivery.login = request.login;
    if (request.login) {
        delivery.user = request.account;
        delivery.password = request.password;
    }
    delivery.mail_from = EnvelopeAddress(request.sender_address);
    if (delivery.mail_from.empty()) {
        return Refuse(kSendNoSenderAddress, "the sender address is empty");
    }
    delivery.recipients = SplitAddressList(request.bcc);
    if (delivery.recipients.empty()) {
        return Refuse(kSendNoRecipient, "there is no recipient");
    }
    const MailContent content{request.sender_name, request.sender_address, request.subject,
                              request.body};
    delivery.message = BuildMessage(content, std::chrono::system_clock::now(),
                                    NewMessageId(request.sender_address));
    const SmtpResult result = transport.Deliver(delivery);
    if (result.code != 0) {
        std::cerr << "quillet: mail not sent: " << result.message << '\n';
    }
    return result.code;
}

int32_t formEmailSetup::SendEmailUsingCDO(
    const std::string& SMTPServer, const int32_t& SMTPserverport, const int32_t& SMTPAuthenticate,
    const std::string& AccountName, const std::string& AccountPassword, const int32_t& SMTPUseSSL,
    const std::string& SenderName, const std::string& SenderEmail,
    [[maybe_unused]] const std::string& ToAddr, const std::string& bcc, const std::string& Subject,
    const std::string& TextBody) {
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
    return SendPlainTextMail(services_.transport, request);
}

}  // namespace quillet
