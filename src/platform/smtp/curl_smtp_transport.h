// The SMTP transport on libcurl.
//
// Security: ImplicitTls connects with TLS from the first byte (smtps); StartTls requires the
// server to offer STARTTLS and fails otherwise; Plain never uses TLS. Certificates and host
// names are always verified, against the system's store or `ca_file` when given.
//
// Bounds: `connect_timeout` covers connecting, TLS, the greeting, EHLO and the login; every
// later reply is awaited at most `reply_timeout`; everything up to the message's last byte
// takes at most `total_timeout`, one deadline for the delivery, whatever connections it takes
// (a kept one that has died, then a new one). The reply to the end of the message is awaited up
// to `end_of_data_timeout` after its last byte, ten minutes as SMTP gives a server for it: a
// server that has the message but is slow to say so would otherwise get it twice. The caller
// runs deliveries off the window's thread, so that wait holds only the mails behind it. The
// bounds are checked about once a second. Proxy variables of the environment are ignored: mail goes
// straight to the server.
//
// Cancel: a delivery whose cancel flag is set ends within about a second, as the bounds are
// checked, with its connection closed (QUIT said, its reply not awaited) and the result
// `cancelled`; a token command under way is killed. Once the message's last byte has been
// handed over, the server may have taken it all the same.
//
// Login: when the delivery asks for one, a server that offers none gets no byte of the message;
// the send fails with CURLE_LOGIN_DENIED.
//
// Result codes: 0 when the server accepted the message with its reply to the end of DATA;
// otherwise the libcurl error code (always in 1..99), with libcurl's error text. A delivery
// refused before any connection (a host that UsableServerHost does not give back as it stands,
// a port out of range, no recipient, a line break) fails permanently.
//
// Token login: for a delivery with a token command, the command runs (RunTokenCommand) within
// Deliver, on the caller's thread, for at most `token_command_limit`, before each connection
// that logs in; when the server refuses the token, the command is asked once more and the send
// tried again over a new connection. A command that fails is a temporary failure
// (CURLE_AUTH_ERROR) whose message is the command's own words; a token the server refuses
// twice is a permanent CURLE_LOGIN_DENIED. The token never goes over a plain connection to
// another host.
//
// Kept connection: after a message has gone, its connection stays open for the next one to the
// same server with the same security and login, which then needs no connect, TLS handshake,
// EHLO or login. A transport keeps one such connection; it says QUIT after `keep_idle` without
// a message, when a message for other settings comes, and when the transport goes. A kept
// connection that turns out to be dead costs no message: a send over it that fails before
// the message's last byte has been handed over is tried once more at once over a new
// connection; one whose last byte was handed over is not sent again. The QUITs are said by a
// thread of the transport's own, so no caller waits for one; at the end of the transport their
// replies are no longer awaited.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "mail/smtp_transport.h"

namespace quillet {

class CurlSmtpTransport final : public SmtpTransport {
  public:
    struct Options {
        std::chrono::milliseconds connect_timeout{std::chrono::seconds(10)};
        std::chrono::milliseconds reply_timeout{std::chrono::seconds(20)};
        std::chrono::milliseconds total_timeout{std::chrono::seconds(60)};
        std::chrono::milliseconds end_of_data_timeout{std::chrono::minutes(10)};
        std::string ca_file;  // a PEM file of trusted CAs in place of the system's store
        // How long a connection stays open after a message for the next one; zero closes it
        // after every message. One minute is below common servers' own idle limits.
        std::chrono::milliseconds keep_idle{std::chrono::seconds(60)};
        // How long a token command may run before it is killed.
        std::chrono::milliseconds token_command_limit{std::chrono::seconds(30)};
    };

    CurlSmtpTransport();
    explicit CurlSmtpTransport(Options options);
    // Says QUIT on the kept connection without awaiting the reply, and stops awaiting the reply
    // to a QUIT already said.
    ~CurlSmtpTransport() override;
    CurlSmtpTransport(const CurlSmtpTransport&) = delete;
    CurlSmtpTransport& operator=(const CurlSmtpTransport&) = delete;

    // Safe to call from several threads at once: a delivery that finds the kept connection
    // in use by another opens one of its own.
    SmtpResult Deliver(const SmtpDelivery& delivery) override;

    // Ends every delivery under way at once (failing it), and every later one before it
    // starts, and closes the kept connection without awaiting the server's last reply, nor the
    // reply to a QUIT under way: for the end of the program, so that no exchange holds it up.
    void AbortAll();

  private:
    struct Connection;  // an easy handle, whose connection libcurl keeps, and what it is for
    struct ConnectionDeleter {
        void operator()(Connection* connection) const;
    };
    using ConnectionPtr = std::unique_ptr<Connection, ConnectionDeleter>;
    struct Attempt;

    // `token`: the access token of a token login, else empty.
    Attempt Send(Connection& connection, const SmtpDelivery& delivery, const std::string& token,
                 bool reused, std::chrono::steady_clock::time_point deadline);
    // The kept connection when it is for `key`; closes one kept for another key.
    ConnectionPtr TakeKept(const std::string& key);
    // Keeps `connection` for the next message, or closes it when nothing is kept.
    void Keep(ConnectionPtr connection);
    void RunCloser();
    // Says QUIT and awaits the reply (up to `reply_timeout`), unless the end cuts the wait short.
    void CloseAwaitingQuit(ConnectionPtr connection);
    // Ends the wait for the reply to a QUIT under way. Requires `mutex_`.
    void CutQuitWait();

    Options options_;
    std::atomic<bool> aborted_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    ConnectionPtr kept_;  // idle since kept_since_
    std::chrono::steady_clock::time_point kept_since_;
    // When the closer wakes by itself, while it waits; empty while it waits for a notify.
    std::optional<std::chrono::steady_clock::time_point> closer_wakes_at_;
    std::vector<ConnectionPtr> to_close_;  // QUIT to be said by the closer
    bool stopping_ = false;
    int quit_watch_ =
        -1;               // the socket whose QUIT's reply the closer awaits, as a second descriptor
    std::thread closer_;  // last: starts once everything else is there
};

}  // namespace quillet
