// The order-notification control server: clients send order events as JSON lines over a Unix
// socket (see app/control_protocol.h and control_socket_path.h), each event goes to the
// dispatcher, and the reply goes back once it has been handled.
//
// A client may send its lines without waiting for their replies: up to kMaxDispatchedLines of
// its requests are with the dispatcher at once, handled in the order of its lines, so that the
// mails of a burst share their writes; its replies come in the order of its lines, each once
// the replies to the lines before it have gone, and the clients take turns. A request that
// cannot be read is answered with an error and never reaches the dispatcher. Shutdown is
// answered once its handler has run, and that client's later lines are left, since the program
// ends; what the event loop could not write of any reply goes out after it
// (FlushRepliesAtEnd).
//
// Bounded, whatever a client does, and the window's thread never waits on one:
// - A client that does not read its replies is read no further once more than
//   kMaxUnsentReplyBytes of them wait for it, and is read again once it has taken them back
//   under that; nothing is dropped, its socket buffer holds it back, and the other clients
//   are answered meanwhile.
// - At most kMaxControlConnections clients at once. One more gets a single error line,
//   {"ok":false,"error":"too many connections (64)"}, and is closed; the others go on. A
//   client's place is free as soon as it has closed its end and has nothing left under way.
// - No connection is ever cut for being idle: the platform may hold its own for the whole run.
//
// Watch: a client that sends {"event":"Watch"} is answered {"ok":true,"Watching":true} once the
// replies to its earlier lines have gone, and from then on gets one line per mail outcome
// (Broadcast), beside the replies to its other requests, until it goes. A watcher more than
// kMaxUnsentReplyBytes behind is told
// {"ok":false,"error":"watch ended: ..."} and watches no more.
//
// Lives on the thread that runs its Qt event loop (the user-interface thread).
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/orders/order_dispatcher.h"
#include "platform/control/control_listening_socket.h"
#include "platform/control/control_socket_path.h"

namespace quillet {

// The clients connected at once; one more is told so and closed.
inline constexpr size_t kMaxControlConnections = 64;
// The requests of one client with the dispatcher at once.
inline constexpr size_t kMaxDispatchedLines = 32;

class ControlConnection;

class ControlServer final : public QObject {
    Q_OBJECT

  public:
    // Hands every valid request to `dispatcher`, which must outlive the server; each reply line
    // is the handler's reply to it.
    explicit ControlServer(OrderDispatcher& dispatcher, QObject* parent = nullptr);
    // Stops listening, drops every client and removes the socket file if it is still ours.
    ~ControlServer() override;

    // Listens where the environment says (LocateControlSocket of this process's environment).
    // Returns "" when listening, otherwise why not (see the other overload).
    [[nodiscard]] std::string Start();
    // Listens at `location`, first creating or checking its private folder when it has one
    // (PreparePrivateSocketFolder). Returns "" when listening, otherwise why not: the folder is
    // refused, or ControlListeningSocket::Listen fails (among others "another Quillet is already
    // running (socket PATH)"), or the server already listens.
    [[nodiscard]] std::string Start(const ControlSocketLocation& location);

    // Once the event loop has ended: writes what is still owed to the clients (the reply to a
    // Shutdown, say, to a client slow to read it), waiting at most `limit` for all of them
    // together. It waits, so it is never called while the window is up.
    void FlushRepliesAtEnd(std::chrono::milliseconds limit);

    // Writes `line` (without its LF) to every watching client.
    void Broadcast(const std::string& line);

    // The socket listened on; empty before a successful Start.
    const std::string& socket_path() const { return listener_.path(); }

  private:
    void OnIncoming();
    void ResumeAccepting();
    // Frees the places of clients that have gone with nothing left under way.
    void FinishLeftClients();
    // A reply a client is owed.
    struct Reply {
        std::optional<std::string> line;  // none: its request is still with the dispatcher
        bool watch = false;               // the answer to a Watch: it watches once this is sent
    };
    // The replies a client is owed, in the order of its lines.
    struct Owed {
        std::deque<Reply> replies;
        uint64_t first = 0;     // the number of the line of the front reply
        bool shutdown = false;  // a Shutdown is among them: no later line is taken
    };

    // Takes the lines client `id` holds, answering those that are no request and handing the
    // requests to the dispatcher, while it has fewer than kMaxDispatchedLines there and no
    // Shutdown; a Watch's client watches once the reply to it has gone.
    void Pump(quint64 id);
    // The reply to the request of line `number` of client `id`.
    void Answer(quint64 id, uint64_t number, const OrderEvent& event, const EventReply& reply);
    // How many of `owed`'s requests are still with the dispatcher: those without a reply yet.
    static size_t Dispatched(const Owed& owed);
    // Owes client `id` the reply `line` to the line it took last: sent once those before it are.
    void Owe(quint64 id, std::string line, bool watch = false);
    // Sends client `id` the replies it is owed, up to the first still with the dispatcher.
    void SendOwed(quint64 id);
    void OnFinished(quint64 id);
    void Send(quint64 id, const std::string& reply);
    ControlConnection* Find(quint64 id) const;

    OrderDispatcher& dispatcher_;
    ControlListeningSocket listener_;
    std::unique_ptr<QSocketNotifier> incoming_;
    std::map<quint64, ControlConnection*> connections_;  // owned as Qt children
    std::map<quint64, Owed> owed_;                       // by client: the replies owed to it
    std::set<quint64> watchers_;                         // clients that sent Watch
    quint64 next_id_ = 1;
};

}  // namespace quillet
