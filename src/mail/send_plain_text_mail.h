// Sending one plain-text message to a list of blind-copy recipients.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mail/smtp_transport.h"

namespace quillet {

// Result codes of our own, apart from the transport's (libcurl's are below 100).
inline constexpr int32_t kSendUnsafeText = 1001;       // CR, LF or NUL in an address or login
inline constexpr int32_t kSendNoRecipient = 1002;      // the blind-copy list names nobody
inline constexpr int32_t kSendBadPort = 1003;          // the port is not 1 to 65535
inline constexpr int32_t kSendBadServer = 1004;        // not a usable server (UsableServerHost)
inline constexpr int32_t kSendNoSenderAddress = 1005;  // nothing left of the sender address
inline constexpr int32_t kSendLoginInClear = 1007;     // a login without encryption, not loopback
inline constexpr int32_t kSendBadTokenCommand = 1008;  // a token command that cannot be split
inline constexpr int32_t kSendBadAddress = 1009;       // an address that is not a mailbox

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
};

// A message as first composed, with the envelope it was composed for: what the outbox keeps.
struct ComposedMail {
    std::string mail_from;                // the envelope sender, a bare address
    std::vector<std::string> recipients;  // bare addresses, at least one
    std::string message;                  // headers and body, CRLF line ends

    bool operator==(const ComposedMail&) const = default;
};

struct SendResult {
    int32_t code = 0;        // 0 when the server accepted the message; see below
    std::string reason;      // for a non-zero code, for a person to read
    bool permanent = false;  // trying again with the same settings cannot help
    // The message, when it could be composed (whether or not it was delivered).
    std::optional<ComposedMail> composed;
    // The server's last reply, as SmtpResult's server_reply; empty when nothing was sent.
    std::string server_reply = {};
};

// Checks the sender and the recipients of the request (each must be a mailbox address,
// IsMailboxAddress, once a "Name <addr>" entry gives its addr) and builds its message, with a
// Message-ID of its own: code 0 and `composed` set, or one of the codes above (permanent) and
// nothing composed. Touches no network.
SendResult ComposePlainTextMail(const SendRequest& request);

// Composes the message (ComposePlainTextMail) and hands it to `transport`. The code is 0 when the
// server accepted the message, one of the codes above (permanent) when the request was refused
// before anything reached the network, otherwise the transport's code. The reason for a
// failure is written to standard error. Never throws.
SendResult SendPlainTextMail(SmtpTransport& transport, const SendRequest& request);

// Delivers `mail` as it was composed, over the server, port, security and login of `request`
// (its sender, recipients, subject and body are not used). Codes as SendPlainTextMail's; an
// envelope of `mail` that is empty or not made of mailbox addresses is refused before anything
// reaches the network.
SendResult DeliverComposedMail(SmtpTransport& transport, const SendRequest& request,
                               const ComposedMail& mail);

}  // namespace quillet
