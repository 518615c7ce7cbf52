#include "platform/smtp/curl_smtp_transport.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "mail/mailbox_address.h"
#include "mail/server_name.h"
#include "platform/smtp/failure_words.h"
#include "platform/smtp/token_command.h"
#include "platform/unique_fd.h"

namespace quillet {
namespace {

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

// libcurl's global set-up, done once for the whole program before the first easy handle.
CURLcode GlobalInit() {
    static std::once_flag once;
    static CURLcode result = CURLE_OK;
    std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return result;
}

SmtpResult Failure(CURLcode code, std::string message) {
    if (message.empty()) {
        message = curl_easy_strerror(code);
    }
    return SmtpResult{static_cast<int>(code), std::move(message)};
}

bool HasLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

// What a delivery ended by its cancel flag gives.
SmtpResult Cancelled() {
    SmtpResult cancelled = Failure(CURLE_ABORTED_BY_CALLBACK, "The delivery was cancelled");
    cancelled.cancelled = true;
    return cancelled;
}

// A refusal before anything goes out: the same delivery can never succeed.
SmtpResult Refusal(CURLcode code, std::string message) {
    SmtpResult refused = Failure(code, std::move(message));
    refused.permanent = true;
    return refused;
}

// "smtp://host:port" or "smtps://host:port"; an IPv6 address goes in brackets, with its zone
// separator written as "%25".
std::string ServerUrl(const SmtpDelivery& delivery) {
    std::string host;
    if (delivery.host.find(':') != std::string::npos) {
        host = "[";
        for (char c : delivery.host) {
            host += c == '%' ? std::string("%25") : std::string(1, c);
        }
        host += "]";
    } else {
        host = delivery.host;
    }
    const char* scheme = delivery.security == SmtpSecurity::ImplicitTls ? "smtps://" : "smtp://";
    return scheme + host + ":" + std::to_string(delivery.port);
}

std::string Angled(const std::string& address) {
    return "<" + address + ">";
}

using Clock = std::chrono::steady_clock;

// The message handed to libcurl piece by piece.
struct Upload {
    const std::string* text = nullptr;
    size_t offset = 0;
    // A login is required: no byte of the message goes out unless an AUTH command did first
    // (over a kept connection: when it was made).
    bool login_required = false;
    bool auth_sent = false;
    bool connected = false;  // a new connection was opened for this message
    std::string last_reply;  // the server's first refusal, else its latest reply line
    std::string latest;      // the server's latest reply line, in full
    // The recipient of the RCPT command awaiting its reply, and the recipients refused so far.
    std::optional<std::string> rcpt_awaiting;
    std::vector<RefusedRecipient> refused;

    // The bounds of the exchange, watched by WatchTime.
    const std::atomic<bool>* aborted = nullptr;
    CancelFlag cancel;       // the delivery's own
    bool cancelled = false;  // WatchTime saw `cancel` set and stopped the transfer
    Clock::time_point started;
    Clock::time_point deadline;          // until the message's last byte is handed over
    Clock::duration reply_wait{};        // for each reply before the end of the message
    Clock::duration end_of_data_wait{};  // for the reply to the end of the message
    std::optional<Clock::time_point> awaiting_since;  // a command went out, its reply not in
    std::optional<Clock::time_point> all_sent_at;     // the message's last byte handed over
    // The bound that ended the exchange, when one did.
    std::optional<Clock::duration> timed_out_after;
};

// A new connection has to log in afresh, whatever the kept one had done.
int NoteNewSocket(void* user, curl_socket_t, curlsocktype) {
    auto* upload = static_cast<Upload*>(user);
    upload->connected = true;
    upload->auth_sent = false;
    return CURL_SOCKOPT_OK;
}

// Stops the transfer once the transport is aborted or the delivery cancelled, or when a bound
// is past: the reply to the end of the message may take `end_of_data_wait` after its last byte,
// as SMTP gives a server for it; before that, each reply `reply_wait` and everything together
// the deadline. libcurl calls this about once a second, and whenever data moves.
int WatchTime(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* upload = static_cast<Upload*>(user);
    if (upload->aborted->load()) {
        return 1;
    }
    if (upload->cancel.IsSet()) {
        upload->cancelled = true;
        return 1;
    }
    const Clock::time_point now = Clock::now();
    if (upload->all_sent_at) {
        if (now - *upload->all_sent_at > upload->end_of_data_wait) {
            upload->timed_out_after = upload->end_of_data_wait;
        }
    } else if (upload->awaiting_since && now - *upload->awaiting_since > upload->reply_wait) {
        upload->timed_out_after = upload->reply_wait;
    } else if (now > upload->deadline) {
        upload->timed_out_after = upload->deadline - upload->started;
    }
    return upload->timed_out_after ? 1 : 0;
}

constexpr size_t kLongestReplyLine = 1000;

// The address of an RCPT command as libcurl sends it ("RCPT TO:<a@b.example>\r\n"), if it is one.
std::optional<std::string> RcptAddress(std::string_view command) {
    constexpr std::string_view kRcpt = "RCPT TO:<";
    const size_t end = command.find('>');
    if (!command.starts_with(kRcpt) || end == std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(command.substr(kRcpt.size(), end - kRcpt.size()));
}

// Watches the commands libcurl sends for AUTH and RCPT, and keeps the server's latest reply
// line and its refusals of recipients (the debug callback sees every line). libcurl sends each
// RCPT only once the reply to the one before has come.
int WatchCommands(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* upload = static_cast<Upload*>(user);
    if (type == CURLINFO_HEADER_OUT) {
        upload->awaiting_since = Clock::now();
        upload->auth_sent = upload->auth_sent || (size >= 5 && std::memcmp(data, "AUTH ", 5) == 0);
        upload->rcpt_awaiting = RcptAddress(std::string_view(data, size));
    } else if (type == CURLINFO_HEADER_IN) {
        // A line of a reply that goes on ("250-...") is progress; its last line ends the wait.
        if (size >= 4 && data[3] == '-') {
            upload->awaiting_since = Clock::now();
        } else {
            upload->awaiting_since.reset();
        }
        size_t end = size;
        while (end > 0 && (data[end - 1] == '\n' || data[end - 1] == '\r')) {
            --end;
        }
        const bool refused_before = !upload->last_reply.empty() &&
                                    (upload->last_reply[0] == '4' || upload->last_reply[0] == '5');
        if (!refused_before) {
            upload->last_reply.assign(data, std::min<size_t>(end, kLongestReplyLine));
        }
        // A reply line is at most 512 bytes; a longer one is cut rather than kept whole.
        upload->latest.assign(data, std::min<size_t>(end, kLongestReplyLine));
        if (upload->rcpt_awaiting && !upload->awaiting_since) {
            if (upload->latest[0] == '4' || upload->latest[0] == '5') {
                upload->refused.push_back({*upload->rcpt_awaiting, upload->latest});
            }
            upload->rcpt_awaiting.reset();
        }
    }
    return 0;
}

size_t ReadMessage(char* buffer, size_t size, size_t count, void* user) {
    auto* upload = static_cast<Upload*>(user);
    if (upload->login_required && !upload->auth_sent) {
        // libcurl 7.88 goes on without a login when the server offers none, and the message
        // would go out as if the login had worked.
        return CURL_READFUNC_ABORT;
    }
    const size_t wanted = size * count;
    const size_t left = upload->text->size() - upload->offset;
    const size_t n = std::min(wanted, left);
    std::memcpy(buffer, upload->text->data() + upload->offset, n);
    upload->offset += n;
    if (upload->offset == upload->text->size() && !upload->all_sent_at) {
        upload->all_sent_at = Clock::now();  // libcurl knows the size: the end goes out next
    }
    return n;
}

// Failures that the same settings would meet again: a login or STARTTLS refused by a 5xx reply
// or not offered at all, a certificate not trusted, or a 5xx reply to anything else. A 4xx reply
// is temporary, whatever libcurl calls the failure: it calls any refused AUTH a refused login,
// and any refused STARTTLS a missing one.
bool IsPermanent(CURLcode code, long reply) {
    if (reply >= 400 && reply <= 499) {
        return false;
    }
    return code == CURLE_LOGIN_DENIED || code == CURLE_PEER_FAILED_VERIFICATION ||
           code == CURLE_USE_SSL_FAILED || (reply >= 500 && reply <= 599);
}

long AtLeastOneMs(std::chrono::milliseconds duration) {
    return static_cast<long>(std::max<std::chrono::milliseconds::rep>(duration.count(), 1));
}

// libcurl 7.88 takes the reply time-out in whole seconds only; round up, never 0 (which would
// mean libcurl's own default).
long WholeSecondsRoundedUp(std::chrono::milliseconds duration) {
    const auto ms = std::max<std::chrono::milliseconds::rep>(duration.count(), 1);
    return static_cast<long>((ms + 999) / 1000);
}

// After a failure libcurl may still keep the connection, and then says QUIT when the handle
// goes and awaits the reply for up to the reply time-out once more, past the total time-out. A
// server that has just stalled would hold us that long again, so the receiving side is shut
// first: the QUIT still goes out, and its reply is "end of connection" at once.
void ForgoQuit(CURL* curl) {
    if (curl == nullptr) {
        return;
    }
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl_easy_getinfo(curl, CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK &&
        socket != CURL_SOCKET_BAD) {
        shutdown(socket, SHUT_RD);
    }
}

// The settings a connection was made for: a message for other settings needs another one.
std::string ConnectionKey(const SmtpDelivery& delivery) {
    std::string key =
        ServerUrl(delivery) + '\n' + std::to_string(static_cast<int>(delivery.security)) + '\n';
    if (delivery.login && !delivery.token_command.empty()) {
        // The command, not its token: a new token is still the same login.
        key += "token\n" + delivery.user;
        for (const std::string& word : delivery.token_command) {
            key += '\0' + word;
        }
    } else if (delivery.login) {
        key += delivery.user + '\n' + delivery.password;
    }
    return key;
}

}  // namespace

// What the handle points to is declared before it, so that it outlives the handle, which may
// still report an error or say QUIT as it goes.
struct CurlSmtpTransport::Connection {
    explicit Connection(std::string for_key) : key(std::move(for_key)) {}

    std::string key;          // see ConnectionKey
    bool logged_in = false;   // its connection has logged in
    bool configured = false;  // the options that its key fixes are set on the handle
    char error_text[CURL_ERROR_SIZE] = {};
    Upload upload;
    Slist recipients;
    EasyHandle easy{curl_easy_init()};
};

void CurlSmtpTransport::ConnectionDeleter::operator()(Connection* connection) const {
    delete connection;  // curl_easy_cleanup says QUIT on a connection still open
}

struct CurlSmtpTransport::Attempt {
    SmtpResult result;
    // Failed over a kept connection before the message's last byte was handed over: a new
    // connection may try again without any risk of a second copy.
    bool retry_fresh = false;
    // The server refused the login (or the token) for good. A 4xx reply is not that: the server
    // cannot check any login just now, and a new token at once would only meet it again.
    bool login_refused = false;
};

CurlSmtpTransport::CurlSmtpTransport() : CurlSmtpTransport(Options{}) {}

CurlSmtpTransport::CurlSmtpTransport(Options options)
    : options_(std::move(options)), closer_([this] { RunCloser(); }) {}

CurlSmtpTransport::~CurlSmtpTransport() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        CutQuitWait();
    }
    wake_.notify_all();
    closer_.join();
}

void CurlSmtpTransport::AbortAll() {
    {
        const std::lock_guard lock(mutex_);
        aborted_ = true;
        CutQuitWait();
    }
    wake_.notify_all();
}

SmtpResult CurlSmtpTransport::Deliver(const SmtpDelivery& delivery) {
    if (UsableServerHost(delivery.host) != delivery.host) {
        return Refusal(CURLE_URL_MALFORMAT, "Not a usable server name: \"" + delivery.host + "\"");
    }
    if (delivery.port < 1 || delivery.port > 65535) {
        return Refusal(CURLE_URL_MALFORMAT, "Port out of range: " + std::to_string(delivery.port));
    }
    if (delivery.login && delivery.security == SmtpSecurity::Plain &&
        !IsLoopbackHost(delivery.host)) {
        return Refusal(CURLE_LOGIN_DENIED, "A login without encryption to another host");
    }
    if (delivery.recipients.empty()) {
        // Without a recipient libcurl would send HELP instead of the message, and succeed.
        return Refusal(CURLE_BAD_FUNCTION_ARGUMENT, "No recipient for the message");
    }
    // libcurl copies these into SMTP commands as they are: a line break would add a command,
    // and a '>' or a space in an address would add parameters to MAIL or RCPT.
    if (HasLineBreakOrNul(delivery.user) || HasLineBreakOrNul(delivery.password)) {
        return Refusal(CURLE_BAD_FUNCTION_ARGUMENT, "A line break or NUL in the login");
    }
    if (!IsMailboxAddress(delivery.mail_from)) {
        return Refusal(CURLE_BAD_FUNCTION_ARGUMENT,
                       "Not a mailbox address: \"" + delivery.mail_from + "\"");
    }
    for (const auto& recipient : delivery.recipients) {
        if (!IsMailboxAddress(recipient)) {
            return Refusal(CURLE_BAD_FUNCTION_ARGUMENT,
                           "Not a mailbox address: \"" + recipient + "\"");
        }
    }
    if (const CURLcode init = GlobalInit(); init != CURLE_OK) {
        return Failure(init, "");
    }

    const bool token_login = delivery.login && !delivery.token_command.empty();
    std::string token;
    auto ask_token = [&]() -> std::optional<SmtpResult> {
        TokenCommandResult got = RunTokenCommand(
            delivery.token_command, options_.token_command_limit, &aborted_, delivery.cancel);
        if (delivery.cancel.IsSet()) {
            return Cancelled();
        }
        if (!got.ok) {
            return Failure(CURLE_AUTH_ERROR, std::move(got.error));
        }
        if (HasLineBreakOrNul(got.token)) {
            return Refusal(CURLE_BAD_FUNCTION_ARGUMENT, "the token command printed a NUL");
        }
        token = std::move(got.token);
        return std::nullopt;
    };
    if (token_login) {
        if (auto failed = ask_token()) {
            return *failed;
        }
    }
    bool asked_again = false;  // after the server refused the first token

    // One deadline for the attempt, whatever connections it takes.
    const Clock::time_point deadline = Clock::now() + options_.total_timeout;
    const std::string key = ConnectionKey(delivery);
    ConnectionPtr connection = delivery.fresh_connection ? nullptr : TakeKept(key);
    bool reused = connection != nullptr;
    while (true) {
        if (aborted_) {
            ForgoQuit(connection ? connection->easy.get() : nullptr);
            return Failure(CURLE_ABORTED_BY_CALLBACK, "The program is ending");
        }
        if (delivery.cancel.IsSet()) {
            ForgoQuit(connection ? connection->easy.get() : nullptr);
            return Cancelled();
        }
        if (!connection) {
            connection.reset(new Connection(key));
            if (!connection->easy) {
                return Failure(CURLE_FAILED_INIT, "");
            }
        }
        Attempt attempt = Send(*connection, delivery, token, reused, deadline);
        if (attempt.result.code == 0) {
            Keep(std::move(connection));
            return attempt.result;
        }
        ForgoQuit(connection->easy.get());
        connection.reset();
        if (token_login && attempt.login_refused && !asked_again && !aborted_) {
            // A token may have run out between the command and the server: one more.
            asked_again = true;
            if (auto failed = ask_token()) {
                return *failed;
            }
        } else if (!attempt.retry_fresh) {
            return attempt.result;
        }
        reused = false;
    }
}

CurlSmtpTransport::Attempt CurlSmtpTransport::Send(Connection& connection,
                                                   const SmtpDelivery& delivery,
                                                   const std::string& token, bool reused,
                                                   std::chrono::steady_clock::time_point deadline) {
    CURL* const curl = connection.easy.get();
    // What the handle points to lives in `connection`, as long as the handle.
    connection.upload = Upload{};
    Upload& upload = connection.upload;
    upload.text = &delivery.message;
    upload.login_required = delivery.login;
    upload.auth_sent = reused && connection.logged_in;
    upload.aborted = &aborted_;
    upload.cancel = delivery.cancel;
    upload.started = Clock::now();
    upload.deadline = deadline;
    upload.reply_wait = options_.reply_timeout;
    upload.end_of_data_wait = options_.end_of_data_timeout;
    char* const error_text = connection.error_text;
    error_text[0] = '\0';
    const std::string mail_from = Angled(delivery.mail_from);
    Slist& recipients = connection.recipients;
    recipients.reset();
    for (const auto& recipient : delivery.recipients) {
        curl_slist* appended = curl_slist_append(recipients.get(), Angled(recipient).c_str());
        if (appended == nullptr) {
            return {Failure(CURLE_OUT_OF_MEMORY, ""), false};
        }
        (void)recipients.release();  // now owned through `appended`, which heads the same list
        recipients.reset(appended);
    }

    // Every option is set, and the first refusal stops the send. What the key fixes (server,
    // security, login) and what points into `connection` go on the handle once, with its first
    // message: the handle keeps them, and setting them again costs every message its parse.
    CURLcode set = CURLE_OK;
    auto option = [&](CURLoption which, auto value) {
        if (set == CURLE_OK) {
            set = curl_easy_setopt(curl, which, value);
        }
    };
    if (!connection.configured) {
        option(CURLOPT_ERRORBUFFER, error_text);
        option(CURLOPT_URL, ServerUrl(delivery).c_str());
        option(CURLOPT_PROTOCOLS_STR, "smtp,smtps");
        option(CURLOPT_PROXY, "");
        option(CURLOPT_NOSIGNAL, 1L);
        option(CURLOPT_NOPROGRESS, 0L);
        option(CURLOPT_XFERINFOFUNCTION, &WatchTime);
        option(CURLOPT_XFERINFODATA, &upload);
        option(CURLOPT_SOCKOPTFUNCTION, &NoteNewSocket);
        option(CURLOPT_SOCKOPTDATA, &upload);
        // libcurl itself never reuses a connection idle for longer than the transport keeps one.
        option(CURLOPT_MAXAGE_CONN, WholeSecondsRoundedUp(options_.keep_idle));
        option(CURLOPT_USE_SSL, delivery.security == SmtpSecurity::StartTls
                                    ? static_cast<long>(CURLUSESSL_ALL)
                                    : static_cast<long>(CURLUSESSL_NONE));
        option(CURLOPT_SSL_VERIFYPEER, 1L);
        option(CURLOPT_SSL_VERIFYHOST, 2L);
        if (!options_.ca_file.empty()) {
            option(CURLOPT_CAINFO, options_.ca_file.c_str());
        }
        option(
            CURLOPT_SERVER_RESPONSE_TIMEOUT,
            WholeSecondsRoundedUp(std::max(options_.reply_timeout, options_.end_of_data_timeout)) +
                5);
        if (delivery.login) {
            option(CURLOPT_USERNAME, delivery.user.c_str());
        }
        if (delivery.login && token.empty()) {
            option(CURLOPT_PASSWORD, delivery.password.c_str());
        }
        if (delivery.login && !token.empty()) {
            option(CURLOPT_LOGIN_OPTIONS, "AUTH=XOAUTH2");
        }
        option(CURLOPT_DEBUGFUNCTION, &WatchCommands);
        option(CURLOPT_DEBUGDATA, &upload);
        option(CURLOPT_VERBOSE, 1L);
        option(CURLOPT_UPLOAD, 1L);
        // A recipient refused goes alone: the message still goes to those the server takes.
        option(CURLOPT_MAIL_RCPT_ALLLOWFAILS, 1L);
        option(CURLOPT_READFUNCTION, &ReadMessage);
        option(CURLOPT_READDATA, &upload);
        connection.configured = set == CURLE_OK;
    }
    // WatchTime keeps the bounds of the replies and the deadline; libcurl's own are only past
    // them, in case it stops calling.
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - upload.started);
    option(CURLOPT_CONNECTTIMEOUT_MS, AtLeastOneMs(std::min(options_.connect_timeout, left)));
    option(CURLOPT_TIMEOUT_MS,
           AtLeastOneMs(left + options_.end_of_data_timeout + std::chrono::seconds(5)));
    if (delivery.login && !token.empty()) {
        option(CURLOPT_XOAUTH2_BEARER, token.c_str());  // a new token may come for each message
    }
    option(CURLOPT_MAIL_FROM, mail_from.c_str());
    option(CURLOPT_MAIL_RCPT, recipients.get());
    option(CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(delivery.message.size()));
    if (set != CURLE_OK) {
        return {Failure(set, error_text), false};
    }

    if (left.count() <= 0) {
        // The attempt's time went on an earlier connection.
        const FailureFacts late{CURLE_OPERATION_TIMEDOUT,
                                0,
                                "",
                                delivery.host,
                                WholeSecondsRoundedUp(options_.total_timeout),
                                "",
                                !token.empty(),
                                delivery.port};
        return {Failure(CURLE_OPERATION_TIMEDOUT, FailureInWords(late)), false};
    }
    CURLcode performed = curl_easy_perform(curl);
    if (performed == CURLE_ABORTED_BY_CALLBACK && upload.timed_out_after && !aborted_) {
        performed = CURLE_OPERATION_TIMEDOUT;
    }
    if (performed == CURLE_OK) {
        connection.logged_in = upload.auth_sent;
        SmtpResult delivered;
        delivered.server_reply = upload.latest;
        delivered.refused = std::move(upload.refused);
        return {delivered, false};
    }
    ForgoQuit(curl);
    if (performed == CURLE_ABORTED_BY_CALLBACK && upload.cancelled && !aborted_) {
        return {Cancelled(), false};
    }
    if (upload.login_required && !upload.auth_sent && performed == CURLE_ABORTED_BY_CALLBACK &&
        !aborted_) {
        SmtpResult refused = Failure(CURLE_LOGIN_DENIED,
                                     "the server offers no login: turn on the secure connection, "
                                     "or turn off authentication");
        refused.permanent = true;
        return {refused, false};
    }
    long reply = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply);
    // The bound that was reached, or how long the exchange went on.
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        upload.timed_out_after.value_or(Clock::now() - upload.started));
    SmtpResult failed =
        Failure(performed, FailureInWords({performed, reply, upload.last_reply, delivery.host,
                                           static_cast<long>((waited.count() + 500) / 1000),
                                           error_text, !token.empty(), delivery.port}));
    failed.permanent = IsPermanent(performed, reply);
    const char kind = upload.last_reply.empty() ? '\0' : upload.last_reply[0];
    if (kind == '4' || kind == '5') {
        failed.server_reply = upload.last_reply;
    }
    if (upload.refused.size() == delivery.recipients.size()) {
        failed.refused = std::move(upload.refused);  // every one: each with its own reply
    }
    const bool retry = reused && !upload.connected && !failed.permanent && !aborted_ &&
                       upload.offset < delivery.message.size();
    return {failed, retry, performed == CURLE_LOGIN_DENIED && failed.permanent};
}

CurlSmtpTransport::ConnectionPtr CurlSmtpTransport::TakeKept(const std::string& key) {
    const std::lock_guard lock(mutex_);
    if (kept_ && kept_->key != key) {
        to_close_.push_back(std::move(kept_));
        wake_.notify_all();
    }
    return std::move(kept_);
}

void CurlSmtpTransport::Keep(ConnectionPtr connection) {
    bool wake = true;
    {
        const std::lock_guard lock(mutex_);
        if (options_.keep_idle.count() <= 0 || aborted_) {
            to_close_.push_back(std::move(connection));
        } else {
            if (kept_) {
                to_close_.push_back(std::move(kept_));
            }
            kept_ = std::move(connection);
            kept_since_ = std::chrono::steady_clock::now();
            // A closer that wakes before the new idle time is over looks again then: waking it
            // now, for every message, would only cost a thread switch.
            wake = !to_close_.empty() || !closer_wakes_at_ ||
                   *closer_wakes_at_ > kept_since_ + options_.keep_idle;
        }
    }
    if (wake) {
        wake_.notify_all();
    }
}

void CurlSmtpTransport::RunCloser() {
    // The QUITs are the least urgent work of the program: they give way to anything else that
    // wants the processor, such as the answer to an order and its reader.
    sched_param idle{};
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
    std::unique_lock lock(mutex_);
    while (true) {
        const bool idle_over =
            kept_ && std::chrono::steady_clock::now() >= kept_since_ + options_.keep_idle;
        if (kept_ && (idle_over || stopping_ || aborted_)) {
            to_close_.push_back(std::move(kept_));
        }
        if (!to_close_.empty()) {
            std::vector<ConnectionPtr> closing = std::move(to_close_);
            to_close_.clear();
            const bool ending = stopping_ || aborted_;
            lock.unlock();
            for (auto& connection : closing) {
                // At the end the QUIT goes out, but its reply is not awaited.
                if (ending) {
                    ForgoQuit(connection->easy.get());
                    connection.reset();
                } else {
                    CloseAwaitingQuit(std::move(connection));
                }
            }
            lock.lock();
            continue;
        }
        if (stopping_) {
            return;
        }
        if (kept_) {
            closer_wakes_at_ = kept_since_ + options_.keep_idle;
            wake_.wait_until(lock, *closer_wakes_at_);
        } else {
            closer_wakes_at_.reset();
            wake_.wait(lock);
        }
        closer_wakes_at_.reset();
    }
}

void CurlSmtpTransport::CloseAwaitingQuit(ConnectionPtr connection) {
    // A second descriptor of the socket, through which the end of the transport can cut the
    // wait for the QUIT's reply short; it stays open until the wait is over.
    curl_socket_t socket = CURL_SOCKET_BAD;
    UniqueFd watch;
    if (curl_easy_getinfo(connection->easy.get(), CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK &&
        socket != CURL_SOCKET_BAD) {
        watch.reset(fcntl(socket, F_DUPFD_CLOEXEC, 0));
    }
    {
        const std::lock_guard lock(mutex_);
        quit_watch_ = watch.get();
        if (stopping_ || aborted_) {
            CutQuitWait();
        }
    }
    connection.reset();
    const std::lock_guard lock(mutex_);
    quit_watch_ = -1;
}

void CurlSmtpTransport::CutQuitWait() {
    if (quit_watch_ >= 0) {
        shutdown(quit_watch_, SHUT_RD);
    }
}

}  // namespace quillet
