// The local HTTP endpoint: order events over HTTP on 127.0.0.1, for platforms and bots that
// can send a webhook but not a line on the control socket. What a request may be, and what is
// refused with which status, is in http_request_rules.h.
//
// Every event goes to the dispatcher as the control socket's do, in the order of the body, and
// the response (200) is sent once the last of them is done: the socket's reply, one JSON object
// a line. A request that is refused reaches no dispatcher and is answered at once, with
// {"ok":false,"error":"..."}. Either way a response waits for those of the connection's earlier
// requests, which go first (see HttpReplyQueue). Connections never hang (see HttpListener). A
// response whose client has gone meanwhile is dropped.
//
// Lives on the thread that runs its Qt event loop (the user-interface thread).
#pragma once

#include <QtHttpServer/QAbstractHttpServer>
#include <chrono>
#include <cstdint>
#include <string>

#include "app/orders/order_dispatcher.h"
#include "platform/http/http_listener.h"

namespace quillet {

class HttpEndpoint final : public QAbstractHttpServer {
    Q_OBJECT
  public:
    // Hands the events to `dispatcher`, which must outlive the endpoint; callers must name
    // `token` (see ReadOrMakeHttpToken).
    HttpEndpoint(OrderDispatcher& dispatcher, std::string token,
                 std::chrono::milliseconds idle_limit = HttpListener::kIdleLimit,
                 QObject* parent = nullptr);

    // Listens on 127.0.0.1 at `port` (0: any free one). Gives "" or why not: the port is taken,
    // or the endpoint listens already.
    [[nodiscard]] std::string Start(uint16_t port);
    // The port listened on; 0 before a successful Start.
    uint16_t port() const;

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

  private:
    OrderDispatcher& dispatcher_;
    std::string token_;
    HttpListener* listener_;  // a Qt child
};

}  // namespace quillet
