// Sending one plain-text message to a list of blind-copy recipients.
#pragma once

#include <cstdint>
#include <string>

#include "mail/smtp_transport.h"

namespace quillet {

// Result codes of our own, apart from the transport's (libcurl's are below 100).
inline constexpr int32_t kSendUnsafeText = 1001;       // CR, LF or NUL in an address or login
inline constexpr int32_t kSendNoRecipient = 1002;      // the blind-copy list names nobody
inline constexpr int32_t kSendBadPort = 1003;          // the port is not 1 to 65535
inline constexpr int32_t kSendBadServer = 1004;        // no server name, or not a host name
inline constexpr int32_t kSendNoSenderAddress = 1005;  // nothing left of the sender address

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
};

// Checks the request, builds the message and hands it to `transport`. Returns 0 when the
// server accepted the message, one of the codes above when the request was refused before
// anything reached the network, otherwise the transport's code. The reason for a failure
// is written to standard error. Never throws.
int32_t SendPlainTextMail(SmtpTransport& transport, const SendRequest& request);

}  // namespace quillet
