#include "platform/http/http_listener.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace quillet {

HttpListener::HttpListener(std::chrono::milliseconds idle_limit, QObject* parent)
    : QTcpServer(parent), idle_limit_(idle_limit) {}

std::string HttpListener::Listen(uint16_t port) {
    if (!listen(QHostAddress::LocalHost, port)) {
        return "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
               errorString().toStdString();
    }
    return {};
}

void HttpListener::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Connected before the HTTP server's own slots, so that these run first.
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->callOnTimeout(socket, &QTcpSocket::abort);
    idle->start(idle_limit_);
    auto unanswered = std::make_shared<qint64>(0);
    connect(socket, &QTcpSocket::readyRead, socket, [socket, idle, unanswered] {
        idle->start();
        *unanswered += socket->bytesAvailable();
        if (*unanswered > kMaxUnanswered) {
            socket->readAll();
            const QByteArray body = "{\"ok\":false,\"error\":\"request longer than " +
                                    QByteArray::number(kMaxUnanswered) + " bytes\"}\n";
            socket->write("HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\n"
                          "Connection: close\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        }
    });
    connect(socket, &QTcpSocket::bytesWritten, socket, [idle, unanswered] {
        idle->start();
        *unanswered = 0;
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    addPendingConnection(socket);  // QTcpServer then tells of the new connection
}

}  // namespace quillet
