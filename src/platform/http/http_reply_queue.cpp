#include "platform/http/http_reply_queue.h"

#include <QTcpSocket>

namespace quillet {
namespace {

constexpr int kShutdownFlushMs = 2000;

void Write(QHttpServerResponder& responder, const HttpReply& reply) {
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    responder.writeHeader("Content-Type", reply.type);
    responder.writeHeader("Content-Length",
                          QByteArray::number(static_cast<qint64>(reply.body.size())));
    responder.writeHeader("Cache-Control", "no-store");
    if (reply.status == 401) {
        responder.writeHeader("WWW-Authenticate", "Bearer");
    }
    if (!reply.allow.empty()) {
        responder.writeHeader("Allow", QByteArray::fromStdString(reply.allow));
    }
    responder.writeBody(reply.body.data(), static_cast<qint64>(reply.body.size()));
}

}  // namespace

HttpReplyQueue::HttpReplyQueue(QTcpSocket& socket) : QObject(&socket), socket_(socket) {
    connect(&socket, &QTcpSocket::disconnected, this, &HttpReplyQueue::Drop);
}

HttpReplyQueue& HttpReplyQueue::For(QTcpSocket& socket) {
    auto* queue = socket.findChild<HttpReplyQueue*>(QString(), Qt::FindDirectChildrenOnly);
    return queue != nullptr ? *queue : *new HttpReplyQueue(socket);  // a Qt child of socket
}

uint64_t HttpReplyQueue::Reserve(QHttpServerResponder&& responder) {
    places_.push_back(Place{std::move(responder), std::nullopt});
    return first_ + places_.size() - 1;
}

void HttpReplyQueue::Answer(uint64_t ticket, HttpReply reply) {
    if (ticket < first_ || ticket - first_ >= places_.size()) {
        return;
    }
    places_[ticket - first_].reply = std::move(reply);
    while (!places_.empty() && places_.front().reply) {
        Place& front = places_.front();
        Write(front.responder, *front.reply);
        if (front.reply->flush) {
            socket_.waitForBytesWritten(kShutdownFlushMs);
        }
        places_.pop_front();
        ++first_;
    }
}

void HttpReplyQueue::Drop() {
    first_ += places_.size();
    places_.clear();
}

}  // namespace quillet
