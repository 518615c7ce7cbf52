// The servers the order-to-mail benchmark mails to: Postfix's smtp-sink, a fast SMTP server that
// takes messages and throws them away, on 127.0.0.1; and stunnel in front of it for TLS from the
// first byte, with a CA made for the run. Both come from Debian's postfix and stunnel4 packages
// (scripts/install-bench-deps.sh). Each is stopped when its object goes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"

namespace quillet::bench {

// One message as smtp-sink wrote it down: its envelope and the message (CRLF line ends).
struct SunkMail {
    std::string mail_from;
    std::vector<std::string> rcpt_to;
    std::string content;
};

class SmtpSink {
  public:
    // Starts smtp-sink on 127.0.0.1:`port` (a free port when 0) and waits until it listens.
    // With `keep_messages` it writes every message down (see Messages()); otherwise it only
    // counts them. Throws std::runtime_error when it cannot start.
    SmtpSink(int port, bool keep_messages);

    int port() const { return port_; }
    // The messages written down so far (only with `keep_messages`), in no particular order.
    std::vector<SunkMail> Messages() const;
    // Stops the server and gives the number of messages it accepted; nothing when it does not
    // say.
    std::optional<long> Stop();

  private:
    TempFolder folder_;
    int port_ = 0;
    std::optional<ChildProcess> process_;
};

// A server on 127.0.0.1 that answers the end of every other new message with 451 and takes
// each message it deferred the next time (bench/deferring_smtp.py, run by /usr/bin/python3 with
// Debian's aiosmtpd). Stopped when the object goes. Throws std::runtime_error when it cannot
// start.
class DeferringServer {
  public:
    DeferringServer();
    int port() const { return port_; }

  private:
    TempFolder folder_;
    int port_ = 0;
    std::optional<ChildProcess> process_;
};

class TlsFront {
  public:
    static constexpr int kPort = 465;

    // Why 127.0.0.1:465 cannot be had (taken, or not ours to bind); empty when it can.
    static std::string PortProblem();

    // Makes a CA and a certificate for 127.0.0.1 and "localhost", and starts stunnel on
    // 127.0.0.1:465 passing the plain connections on to 127.0.0.1:`plain_port`. Throws
    // std::runtime_error when it cannot start.
    explicit TlsFront(int plain_port);

    // The PEM file of the CA that signed the server's certificate.
    std::string ca_file() const { return folder_.Path("ca.pem"); }

  private:
    TempFolder folder_;
    std::optional<ChildProcess> process_;
};

}  // namespace quillet::bench
