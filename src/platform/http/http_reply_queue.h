// The responses of one connection, in the order of its requests: HTTP/1.1 lets a client send
// its next request before the last is answered, and wants the answers in the same order, while
// an order's reply may wait for its mail and a Status's does not. Each request takes its place
// at once (Reserve); its response is written when it is given (Answer) and every earlier one on
// the connection has been written, else it waits for them.
//
// A Qt child of its socket, found or made by For, so that it goes with the connection; once the
// client has gone, what waits is dropped, and so is a response given later. Lives on the
// socket's thread.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QtHttpServer/QHttpServerResponder>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

class QTcpSocket;

namespace quillet {

// One response: status, body, Content-Type, and for a 405 the Allow header. `flush`: wait
// until it is written before going on, for a reply after which the program ends.
struct HttpReply {
    int status = 200;
    std::string body;
    QByteArray type = "application/json";
    std::string allow;
    bool flush = false;
};

class HttpReplyQueue final : public QObject {
    Q_OBJECT
  public:
    // The queue of `socket`, made on the first call.
    static HttpReplyQueue& For(QTcpSocket& socket);

    // The place of the next response, to be written through `responder`.
    uint64_t Reserve(QHttpServerResponder&& responder);
    // The response of place `ticket`; writes it and those after it that are ready, if every
    // earlier one has been written.
    void Answer(uint64_t ticket, HttpReply reply);

  private:
    explicit HttpReplyQueue(QTcpSocket& socket);
    void Drop();

    struct Place {
        QHttpServerResponder responder;
        std::optional<HttpReply> reply;
    };
    QTcpSocket& socket_;
    std::deque<Place> places_;
    uint64_t first_ = 0;  // the ticket of places_.front()
};

}  // namespace quillet
