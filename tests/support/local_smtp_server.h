// A real SMTP server on this machine (aiosmtpd, run by /usr/bin/python3), started on 127.0.0.1
// at a free port and stopped when the object goes. The server keeps each accepted message, before
// it answers the end of DATA, so that its user can check what arrived. The tests use it through
// SmtpTestServer.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace quillet::test {

struct ReceivedMail {
    std::string mail_from;             // envelope sender
    std::vector<std::string> rcpt_to;  // envelope recipients, in order
    std::string auth_user;             // the user that logged in, empty without login
    std::string content;               // the message as it arrived (dot-unstuffed, CRLF line ends)
};

class LocalSmtpServer {
  public:
    enum class Mode {
        Plain,           // no TLS
        StartTls,        // offers STARTTLS (and AUTH only after it)
        ImplicitTls,     // TLS from the first byte
        Silent,          // accepts connections and never says a word
        StallAfterData,  // takes the message but never answers the end of DATA
        DropDuringData,  // takes the message, then drops the connection without an answer
        StallOnQuit,     // never answers QUIT
        StallOnRcpt,     // never answers RCPT TO
    };
    struct Config {
        Mode mode = Mode::Plain;
        bool require_auth = false;  // when true, AUTH is required; only trader/s3cret pass
        bool offer_auth = true;     // when false, EHLO offers no AUTH at all
        std::vector<std::string> refused_recipients = {};  // RCPT TO answered 550 for these
        // RCPT TO answered "452 4.2.2 Mailbox full" for these, the first time each is asked.
        std::vector<std::string> deferred_recipients = {};
        // The end of a message holding one of these texts answered 451, at every attempt.
        std::vector<std::string> deferred_texts = {};
        int port = 0;                  // 0: any free port
        double idle_limit = 0;         // seconds a connection may idle before the server closes it
        int mails_per_connection = 0;  // the next MAIL: 421, connection closed; 0: no limit
        std::string token = {};       // not empty: AUTH XOAUTH2 too, passing trader with this token
        double data_reply_delay = 0;  // seconds between taking a message and answering it
        // Commands answered with a reply of their own and nothing done, as "AUTH" -> "454 ...".
        std::map<std::string, std::string> replies = {};
    };

    // Starts the server and waits until it listens. A server that cannot start leaves port()
    // at 0 and says why in error().
    explicit LocalSmtpServer(Config config);
    ~LocalSmtpServer();
    LocalSmtpServer(const LocalSmtpServer&) = delete;
    LocalSmtpServer& operator=(const LocalSmtpServer&) = delete;

    const std::string& error() const { return error_; }
    int port() const { return port_; }
    // The PEM file of the CA that signed the server's certificate for "localhost" and 127.0.0.1.
    std::string ca_file() const { return work_dir_ + "/ca.pem"; }
    // Every message accepted so far, in order of arrival; records it cannot read are left out.
    std::vector<ReceivedMail> Received() const;
    // What the server has seen so far, in order: "C" a connection, "M" a message, "Q" a QUIT;
    // a Silent one "C" a connection and "X" its end.
    std::string Events() const;

  private:
    int pid_ = -1;
    int port_ = 0;
    std::string work_dir_;
    std::string error_;
};

}  // namespace quillet::test
