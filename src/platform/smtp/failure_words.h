// A failed exchange with the mail server in words the user can act on: what happened, and the
// fix where there is one. The same words reach the setup dialog's status line, the order line's
// tip and the notifications.
#pragma once

#include <string>

namespace quillet {

struct FailureFacts {
    int code = 0;    // libcurl's result
    long reply = 0;  // the server's last reply code, 0 when none
    // The server's first refusal (a 4xx or 5xx reply line, "550 5.7.1 Relaying denied"), else
    // its latest reply line; empty when it said nothing.
    std::string last_reply;
    std::string host;
    long waited_s = 0;      // how long the exchange went on, in whole seconds
    std::string curl_text;  // libcurl's own error text, for what has no words here
    bool token_login = false;  // the login was with a token, not a password
    int port = 0;              // the server's port
};

// For example "the server smtp.x.example could not be found", "no answer from
// smtp.x.example:587 within 10 s" (an IPv6 address in brackets, "[::1]:25"), "the
// server refused the password: for Gmail and Yahoo use an app password", "the server refused
// the token (535 ...)", "the server smtp.x.example did not start the secure connection (454 ...)",
// or the server's own reply to a refused sender, recipient or message.
// Never empty.
std::string FailureInWords(const FailureFacts& facts);

}  // namespace quillet
