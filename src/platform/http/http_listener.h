// The endpoint's TCP listener, on 127.0.0.1 alone, whose connections never hang and never
// crowd out the owner:
// - At most kMaxConnections at once. One more takes the place of the oldest connection that
//   has not named the token; when every one has, the newcomer is told 503 and closed.
// - A connection that has not named the token must bring each whole request within
//   head_limit (kHeadLimit) of its first byte, its first one within head_limit of connecting;
//   one that is slower is closed. The owner's connections have the idle limit alone.
// - One that brings nothing and is told nothing for idle_limit (kIdleLimit) is closed.
// - One that sends more than a whole request may hold (kMaxUnanswered) before it is answered
//   is told 413 and closed; one whose request HttpHeadScanner refuses is told 400 and closed.
// So neither a slow nor a flooding client, however many, holds memory or descriptors for long.
// When the process has no descriptor left for a new connection, a reserve one is given up
// to take it and close it at once, so that the listener goes on listening.
#pragma once

#include <QPointer>
#include <QTcpServer>
#include <chrono>
#include <cstdint>
#include <list>
#include <string>

#include "platform/http/http_head_scanner.h"
#include "platform/unique_fd.h"

class QTcpSocket;
class QTimer;

namespace quillet {

class HttpListener final : public QTcpServer {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kIdleLimit{10000};
    static constexpr std::chrono::milliseconds kHeadLimit{5000};
    static constexpr qint64 kMaxUnanswered = 128 * 1024;
    static constexpr size_t kMaxConnections = 64;
    static constexpr int kListenBacklog = 512;

    // `token`: what marks a connection as the owner's. `idle_limit`, `head_limit`: how long a
    // connection may rest, and bring a request without the token; tests shorten them.
    explicit HttpListener(std::string token, std::chrono::milliseconds idle_limit = kIdleLimit,
                          std::chrono::milliseconds head_limit = kHeadLimit,
                          QObject* parent = nullptr);

    // Listens on 127.0.0.1 at `port` (0: any free one). Gives "" or why not.
    std::string Listen(uint16_t port);

  protected:
    void incomingConnection(qintptr descriptor) override;

  private:
    // What the listener knows of one connection: a Qt child of its socket, gone with it.
    struct Connection : QObject {
        Connection(QTcpSocket* socket, const std::string& token);
        QTcpSocket* socket;
        HttpHeadScanner scanner;
        QTimer* deadline = nullptr;  // for a request without the token
        qint64 unanswered = 0;       // bytes since the last response
        bool closing = false;        // told to go, or gone: no longer counted
    };
    void OnReadyRead(Connection& connection);
    // Makes room for one more: closes the oldest stranger; false when all are the owner's.
    bool MakeRoom();
    void ShedOne();  // out of descriptors: takes one connection and closes it

    std::string token_;
    std::chrono::milliseconds idle_limit_;
    std::chrono::milliseconds head_limit_;
    std::list<QPointer<Connection>> connections_;  // oldest first
    UniqueFd reserve_;
};

}  // namespace quillet
