// How one finished message reaches an SMTP server. The mailer builds the envelope and the
// message text; a transport only carries them.
#pragma once

#include <string>
#include <vector>

#include "support/cancel_flag.h"

namespace quillet {

enum class SmtpSecurity {
    Plain,        // no TLS at all, no STARTTLS
    StartTls,     // plain connect, then STARTTLS, which the server must offer
    ImplicitTls,  // TLS from the first byte
};

struct SmtpDelivery {
    std::string host;  // a host name or address, nothing else
    int port = 25;     // 1 to 65535
    SmtpSecurity security = SmtpSecurity::Plain;
    bool login = false;  // log in with user and password; otherwise never
    std::string user;
    std::string password;
    std::string mail_from;                // the envelope sender: a bare address
    std::vector<std::string> recipients;  // the envelope recipients: bare addresses, at least one
    std::string message;                  // the whole message, headers and body, CRLF line ends
    // A transport may carry a message over a connection kept from an earlier one with the same
    // server and login; this asks for a connection of its own, as a test of the settings needs.
    bool fresh_connection = false;
    // Not empty: the login is a token login (SASL XOAUTH2) as `user`, with the access token
    // that this command (the program, then its arguments) prints; `password` is not used.
    std::vector<std::string> token_command = {};
    // Once set (from any thread), the delivery ends as soon as the transport sees it, its
    // connection closed and the message not sent, unless the server has already taken it.
    CancelFlag cancel = {};
};

// A recipient the server refused at its RCPT command, with the server's reply to it
// ("452 4.2.2 Mailbox full").
struct RefusedRecipient {
    std::string address;
    std::string reply;

    // A 5xx reply: this recipient will not take the message with the same envelope.
    bool permanent() const { return !reply.empty() && reply[0] == '5'; }
    bool operator==(const RefusedRecipient&) const = default;
};

struct SmtpResult {
    int code = 0;         // 0: the server accepted the message; otherwise why not
    std::string message;  // for a non-zero code, what went wrong, for a person to read
    // The failure cannot pass without the user's help: the login was refused, the server's
    // certificate is not trusted, the server lacks what the settings require, or it answered
    // MAIL, RCPT or DATA with a 5xx reply. Trying again with the same settings is useless.
    bool permanent = false;
    // The server's own words, in full: for a delivered message its last reply (to the end of
    // the message, such as "250 2.0.0 Ok: queued as 4XyZ"); for a failure the reply that failed
    // it, and empty when the failure came before any reply or with none (a lost connection).
    std::string server_reply = {};
    // The delivery ended because its cancel flag was set; never permanent.
    bool cancelled = false;
    // The recipients refused at RCPT, in the envelope's order: for a delivered message those it
    // did not reach (the server took it for the others); for a failure in which the server
    // refused every recipient, all of them; otherwise empty.
    std::vector<RefusedRecipient> refused = {};
};

class SmtpTransport {
  public:
    virtual ~SmtpTransport() = default;
    // Delivers the message to the recipients the server takes, or fails; never throws, never waits
    // without bound. A set cancel flag ends the delivery (a failure with `cancelled`) within about
    // a second. A host that is not usable (UsableServerHost), an address that is not a mailbox
    // (IsMailboxAddress) or a login with a CR, LF or NUL is a permanent failure before any byte
    // goes out.
    virtual SmtpResult Deliver(const SmtpDelivery& delivery) = 0;
};

}  // namespace quillet
