// Sending one plain-text message to a list of blind-copy recipients.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mail/mail_message.h"
#include "mail/smtp_transport.h"
#include "support/cancel_flag.h"

namespace quillet {

// Why a message was not sent.
enum class SendFailure {
    kNone,             // it was: the server accepted the message
    kTransport,        // the transport failed: the connection, the login or the server's reply
    kUnsafeText,       // CR, LF or NUL in an address or the login
    kNoRecipient,      // the blind-copy list names nobody
    kBadPort,          // the port is not 1 to 65535
    kBadServer,        // not a usable server (UsableServerHost)
    kNoSenderAddress,  // nothing left of the sender address
    kInvalidSettings,  // the settings do not pass CheckMailSettings
    kLoginInClear,     // a login without encryption, to a host that is not this machine
    kBadTokenCommand,  // a token command that cannot be split
    kBadAddress,       // an address that is not a mailbox
    kCancelled,        // the request's cancel flag was set before the server took the message
};

struct SendRequest {
    std::string server;  // blanks around it are dropped
    int32_t port = 0;
    bool login = false;  // when false, account and password are never sent
    std::string account;
    std::string password;
    bool ssl = false;  // on: TLS from the first byte at port 465, required STARTTLS elsewhere
    std::string sender_name;
    std::string sender_address;
    std::string bcc;  // comma-separated; "Name <addr>" entries give addr
    std::string subject;
    std::string body;
    // Not over a connection kept from an earlier message: for a test of the settings.
    bool fresh_connection = false;
    // Not blank: the login takes the access token this command line prints (XOAUTH2) in place
    // of the password. Split as SplitCommandLine does, and run without a shell.
    std::string token_command = {};
    // Not empty: the message's Message-ID is MessageIdOf this and the sender address, the same
    // at every composition (a mail that may be composed again by a later run); empty: a new one.
    std::string message_id_left = {};
    // Not empty: the Message-ID of the first mail of the thread this one follows (MailContent).
    std::string in_reply_to = {};
    // Set from any thread: the delivery under way ends, as SmtpDelivery's.
    CancelFlag cancel = {};
    // Not empty: sent with the body, as BuildMessage has it.
    std::optional<MailAttachment> attachment = std::nullopt;
};

// A message as first composed, with the envelope it was composed for: what the outbox keeps.
struct ComposedMail {
    std::string mail_from;                // the envelope sender, a bare address
    std::vector<std::string> recipients;  // bare addresses, at least one
    std::string message;                  // headers and body, CRLF line ends
    std::string message_id;               // its Message-ID header's value, "<...@domain>"

    bool operator==(const ComposedMail&) const = default;
};

struct SendResult {
    SendFailure failure = SendFailure::kNone;
    std::string reason;      // for a failure, for a person to read
    bool permanent = false;  // trying again with the same settings cannot help
    // The message, when it could be composed (whether or not it was delivered).
    std::optional<ComposedMail> composed;
    // The server's last reply, as SmtpResult's server_reply; empty when nothing was sent.
    std::string server_reply = {};
    // The recipients refused at RCPT, as SmtpResult's: with no failure, the message reached
    // every recipient of its envelope but these.
    std::vector<RefusedRecipient> refused = {};

    bool ok() const { return failure == SendFailure::kNone; }
};

// Checks the sender and the recipients of the request (each must be a mailbox address,
// IsMailboxAddress, once a "Name <addr>" entry gives its addr) and builds its message, with a
// Message-ID of its own (or the one `message_id_left` makes): `composed` set, or a failure of the
// request (permanent) and nothing composed. Touches no network.
SendResult ComposePlainTextMail(const SendRequest& request);

// Composes the message (ComposePlainTextMail) and hands it to `transport`. No failure when the
// server accepted the message; a failure of the request (permanent) when it was refused before
// anything reached the network; otherwise kTransport with the transport's reason and
// permanence, or kCancelled when the request's cancel flag ended the delivery. Never throws.
SendResult SendPlainTextMail(SmtpTransport& transport, const SendRequest& request);

// Delivers `mail` as it was composed, over the server, port, security and login of `request`
// (its sender, recipients, subject and body are not used). Failures as SendPlainTextMail's; an
// envelope of `mail` that is empty or not made of mailbox addresses is refused before anything
// reaches the network.
SendResult DeliverComposedMail(SmtpTransport& transport, const SendRequest& request,
                               const ComposedMail& mail);

}  // namespace quillet
