#include "platform/http/http_listener.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <QTcpSocket>
#include <QTimer>

namespace quillet {
namespace {

// Tells the client why it is refused, and closes the connection once that is written.
void Refuse(QTcpSocket& socket, const QByteArray& status, const std::string& error) {
    socket.readAll();
    QByteArray body = "{\"ok\":false,\"error\":\"" + QByteArray::fromStdString(error) + "\"}\n";
    socket.write("HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\n" +
                 "Connection: close\r\nContent-Length: " + QByteArray::number(body.size()) +
                 "\r\n\r\n" + body);
    socket.disconnectFromHost();
}

UniqueFd OpenReserve() {
    return UniqueFd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
}

// Closes the connection at once and lets its socket go.
void Drop(QTcpSocket* socket) {
    socket->abort();
    socket->deleteLater();
}

}  // namespace

HttpListener::Connection::Connection(QTcpSocket* s, const std::string& token)
    : QObject(s), socket(s), scanner(token) {}

HttpListener::HttpListener(std::string token, std::chrono::milliseconds idle_limit,
                           std::chrono::milliseconds head_limit, QObject* parent)
    : QTcpServer(parent),
      token_(std::move(token)),
      idle_limit_(idle_limit),
      head_limit_(head_limit),
      reserve_(OpenReserve()) {
    connect(this, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::SocketResourceError) {
            ShedOne();
        }
    });
}

std::string HttpListener::Listen(uint16_t port) {
    // A crowd's connections wait in the kernel's queue, not the owner's: one refused there
    // comes again only a second later.
    setListenBacklogSize(kListenBacklog);
    if (!listen(QHostAddress::LocalHost, port)) {
        return "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
               errorString().toStdString();
    }
    return {};
}

void HttpListener::ShedOne() {
    reserve_.reset();
    const bool shed =
        UniqueFd(::accept4(static_cast<int>(socketDescriptor()), nullptr, nullptr, SOCK_CLOEXEC))
            .get() >= 0;
    reserve_ = OpenReserve();
    if (shed && reserve_) {
        resumeAccepting();
    } else {  // nothing was freed: try again a little later rather than spin
        QTimer::singleShot(std::chrono::seconds(1), this, &QTcpServer::resumeAccepting);
    }
}

bool HttpListener::MakeRoom() {
    connections_.remove_if([](const QPointer<Connection>& c) { return c.isNull(); });
    size_t open = 0;
    Connection* stranger = nullptr;
    for (Connection* connection : connections_) {
        if (!connection->closing) {
            ++open;
            if (stranger == nullptr && !connection->scanner.Owner()) {
                stranger = connection;
            }
        }
    }
    if (open < kMaxConnections) {
        return true;
    }
    if (stranger == nullptr) {
        return false;
    }
    stranger->closing = true;
    Drop(stranger->socket);
    return true;
}

void HttpListener::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    const bool room = MakeRoom();
    auto* connection = new Connection(socket, token_);
    connections_.emplace_back(connection);
    connect(socket, &QTcpSocket::disconnected, socket, [connection] {
        connection->closing = true;
        connection->socket->deleteLater();
    });
    if (!room) {
        connection->closing = true;
        Refuse(*socket, "503 Service Unavailable",
               "too many connections (" + std::to_string(kMaxConnections) + ")");
        return;
    }
    // Connected before the HTTP server's own slots, so that these run first.
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->callOnTimeout(socket, [socket] { Drop(socket); });
    idle->start(idle_limit_);
    connection->deadline = new QTimer(socket);
    connection->deadline->setSingleShot(true);
    connection->deadline->callOnTimeout(socket, [socket] { Drop(socket); });
    connection->deadline->start(head_limit_);
    connect(socket, &QTcpSocket::readyRead, socket, [this, idle, connection] {
        idle->start();
        OnReadyRead(*connection);
    });
    connect(socket, &QTcpSocket::bytesWritten, socket, [idle, connection] {
        idle->start();
        connection->unanswered = 0;
    });
    addPendingConnection(socket);  // QTcpServer then tells of the new connection
}

void HttpListener::OnReadyRead(Connection& connection) {
    QTcpSocket& socket = *connection.socket;
    if (connection.closing) {
        socket.readAll();
        return;
    }
    const QByteArray bytes = socket.peek(socket.bytesAvailable());
    connection.unanswered += bytes.size();
    std::string refusal = connection.scanner.Feed(
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (!refusal.empty()) {
        connection.closing = true;
        Refuse(socket, "400 Bad Request", refusal);
        return;
    }
    if (connection.unanswered > kMaxUnanswered) {
        connection.closing = true;
        Refuse(socket, "413 Payload Too Large",
               "request longer than " + std::to_string(kMaxUnanswered) + " bytes");
        return;
    }
    if (connection.scanner.Owner() || connection.scanner.Between()) {
        connection.deadline->stop();
    } else if (!connection.deadline->isActive()) {
        connection.deadline->start();
    }
}

}  // namespace quillet
