// The order-notification control server: clients send order events as JSON lines over a Unix
// socket (see app/control_protocol.h and app/control_socket_path.h), the handler is called for
// each, and the reply goes back after it returns.
//
// Events are handled one at a time, in the order their lines arrived (a client's lines always
// in its own order). A handler that runs a nested event loop (a modal dialog) is not entered
// again: requests arriving meanwhile wait and are handled, one per pass of the event loop,
// after it returns. A request that cannot be read is answered with an error and never reaches
// the handler. Shutdown is answered, and the answer written out (waiting at most two seconds
// for a slow client), before the handler is called, since the handler ends the program.
//
// Lives on the thread that runs its Qt event loop (the user-interface thread). The handler must
// not throw; it may destroy the server.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/control_socket_path.h"
#include "app/order_events.h"
#include "platform/control/control_listening_socket.h"

namespace quillet {

class ControlConnection;

class ControlServer final : public QObject {
    Q_OBJECT

  public:
    // Called for each valid request; may change the event's Answer (Connect, QueryConnected),
    // which the reply then carries.
    using Handler = std::function<void(OrderEvent& event)>;

    explicit ControlServer(Handler handler, QObject* parent = nullptr);
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

    // The socket listened on; empty before a successful Start.
    const std::string& socket_path() const { return listener_.path(); }

  private:
    void OnIncoming();
    void ResumeAccepting();
    void OnItemsAvailable(quint64 id);
    void OnFinished(quint64 id);
    void ScheduleDrain();
    void Drain();
    // Handles one request of client `id` and answers it. False when the server was destroyed
    // by the handler (nothing of it may be touched then).
    bool HandleItem(quint64 id, const std::string& line, bool too_long);
    void Reply(quint64 id, const std::string& reply);
    ControlConnection* Find(quint64 id) const;

    Handler handler_;
    ControlListeningSocket listener_;
    std::unique_ptr<QSocketNotifier> incoming_;
    std::map<quint64, ControlConnection*> connections_;  // owned as Qt children
    std::deque<quint64> ready_;  // clients holding unhandled lines, each once, oldest first
    quint64 next_id_ = 1;
    bool handling_ = false;      // a handler is running (maybe in a nested event loop)
    bool drain_posted_ = false;  // a call of Drain is queued
};

}  // namespace quillet
