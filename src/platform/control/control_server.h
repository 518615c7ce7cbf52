// The order-notification control server: clients send order events as JSON lines over a Unix
// socket (see app/control_protocol.h and control_socket_path.h), each event goes to the
// dispatcher, and the reply goes back once it has been handled.
//
// Each client has at most one event with the dispatcher at a time, so its replies come in the
// order of its lines, and the clients take turns. A request that cannot be read is answered
// with an error and never reaches the dispatcher. Shutdown is answered, and the answer written
// out (waiting at most two seconds for a slow client), before its handler runs, since that
// handler ends the program.
//
// Lives on the thread that runs its Qt event loop (the user-interface thread).
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <map>
#include <memory>
#include <string>

#include <set>

#include "app/order_dispatcher.h"
#include "platform/control/control_listening_socket.h"
#include "platform/control/control_socket_path.h"

namespace quillet {

class ControlConnection;

class ControlServer final : public QObject {
    Q_OBJECT

  public:
    // Hands every valid request to `dispatcher`, which must outlive the server; the reply
    // carries the Answer its handler left (Connect, QueryConnected).
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

    // The socket listened on; empty before a successful Start.
    const std::string& socket_path() const { return listener_.path(); }

  private:
    void OnIncoming();
    void ResumeAccepting();
    // Answers the lines client `id` holds, up to the first valid request, which goes to the
    // dispatcher; nothing while one of its requests is with the dispatcher.
    void Pump(quint64 id);
    void Answer(quint64 id, const OrderEvent& event);
    void OnFinished(quint64 id);
    void Reply(quint64 id, const std::string& reply);
    ControlConnection* Find(quint64 id) const;

    OrderDispatcher& dispatcher_;
    ControlListeningSocket listener_;
    std::unique_ptr<QSocketNotifier> incoming_;
    std::map<quint64, ControlConnection*> connections_;  // owned as Qt children
    std::set<quint64> dispatched_;                       // clients with a request at the dispatcher
    quint64 next_id_ = 1;
};

}  // namespace quillet
