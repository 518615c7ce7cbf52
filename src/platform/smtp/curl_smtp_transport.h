// The SMTP transport on libcurl.
//
// Security: ImplicitTls connects with TLS from the first byte (smtps); StartTls requires the
// server to offer STARTTLS and fails otherwise; Plain never uses TLS. Certificates and host
// names are always verified, against the system's store or `ca_file` when given.
//
// Bounds: `connect_timeout` covers connecting, TLS, the greeting, EHLO and the login; every
// later reply is awaited at most `reply_timeout`; the whole exchange takes at most
// `total_timeout`. Proxy variables of the environment are ignored: mail goes straight to the
// server.
//
// Login: when the delivery asks for one, a server that offers none gets no byte of the message;
// the send fails with CURLE_LOGIN_DENIED.
//
// Result codes: 0 when the server accepted the message with its reply to the end of DATA;
// otherwise the libcurl error code (always in 1..99), with libcurl's error text.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "mail/smtp_transport.h"

namespace quillet {

class CurlSmtpTransport final : public SmtpTransport {
  public:
    struct Options {
        std::chrono::milliseconds connect_timeout{std::chrono::seconds(10)};
        std::chrono::milliseconds reply_timeout{std::chrono::seconds(20)};
        std::chrono::milliseconds total_timeout{std::chrono::seconds(60)};
        std::string ca_file;  // a PEM file of trusted CAs in place of the system's store
    };

    CurlSmtpTransport();
    explicit CurlSmtpTransport(Options options);

    // Safe to call from several threads at once.
    SmtpResult Deliver(const SmtpDelivery& delivery) override;

    // Ends every delivery under way at once (failing it), and every later one before it
    // starts: for the end of the program, so that no exchange holds it up.
    void AbortAll() { aborted_ = true; }

  private:
    Options options_;
    std::atomic<bool> aborted_{false};
};

}  // namespace quillet
