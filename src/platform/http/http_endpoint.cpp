#include "platform/http/http_endpoint.h"

#include <QPointer>
#include <QTcpSocket>
#include <QtHttpServer/QHttpServerRequest>
#include <QtHttpServer/QHttpServerResponder>
#include <memory>
#include <vector>

#include "app/control_protocol.h"
#include "platform/http/http_request_rules.h"

namespace quillet {
namespace {

using HttpStatus = QHttpServerResponder::StatusCode;

constexpr int kShutdownFlushMs = 2000;

// The request's method and headers as the rules read them.
HttpRequestHead HeadOf(const QHttpServerRequest& request) {
    HttpRequestHead head;
    switch (request.method()) {
        case QHttpServerRequest::Method::Get: head.method = "GET"; break;
        case QHttpServerRequest::Method::Post: head.method = "POST"; break;
        default: head.method = "OTHER"; break;
    }
    head.path = request.url().path().toStdString();
    for (const auto& [name, value] : request.headers()) {
        const QByteArray lower = name.toLower();
        std::optional<std::string>* field = lower == "host"            ? &head.host
                                            : lower == "origin"        ? &head.origin
                                            : lower == "authorization" ? &head.authorization
                                            : lower == "content-type"  ? &head.content_type
                                                                       : nullptr;
        if (field != nullptr && !*field) {
            *field = value.toStdString();
        }
    }
    head.body_size = static_cast<size_t>(request.body().size());
    return head;
}

void Respond(QHttpServerResponder& responder, int status, const std::string& body,
             const QByteArray& type, const std::string& allow = {}) {
    responder.writeStatusLine(static_cast<HttpStatus>(status));
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(static_cast<qint64>(body.size())));
    responder.writeHeader("Cache-Control", "no-store");
    if (status == 401) {
        responder.writeHeader("WWW-Authenticate", "Bearer");
    }
    if (!allow.empty()) {
        responder.writeHeader("Allow", QByteArray::fromStdString(allow));
    }
    responder.writeBody(body.data(), static_cast<qint64>(body.size()));
}

// The replies of one request's events, filled as each is done; the response goes with the last.
struct PendingReplies {
    PendingReplies(QHttpServerResponder&& r, QTcpSocket* s, size_t count, bool lines)
        : responder(std::move(r)), socket(s), replies(count), lines(lines) {}
    QHttpServerResponder responder;
    QPointer<QTcpSocket> socket;
    std::vector<std::string> replies;
    size_t left = 0;
    bool lines;
};

void Done(PendingReplies& pending, size_t index, const OrderEvent& event) {
    pending.replies[index] = FormatReply(event);
    if (--pending.left > 0 || !pending.socket) {
        return;
    }
    std::string body;
    for (const std::string& reply : pending.replies) {
        body += reply + "\n";
    }
    Respond(pending.responder, 200, body,
            pending.lines ? "application/x-ndjson" : "application/json");
    if (std::holds_alternative<Shutdown>(event)) {  // its handler ends the program
        pending.socket->waitForBytesWritten(kShutdownFlushMs);
    }
}

}  // namespace

HttpEndpoint::HttpEndpoint(OrderDispatcher& dispatcher, std::string token,
                           std::chrono::milliseconds idle_limit, QObject* parent)
    : QAbstractHttpServer(parent),
      dispatcher_(dispatcher),
      token_(std::move(token)),
      listener_(new HttpListener(idle_limit, this)) {}

std::string HttpEndpoint::Start(uint16_t port) {
    if (listener_->isListening()) {
        return "the HTTP endpoint already listens on port " + std::to_string(this->port());
    }
    if (std::string error = listener_->Listen(port); !error.empty()) {
        return error;
    }
    bind(listener_);
    return {};
}

uint16_t HttpEndpoint::port() const {
    return listener_->isListening() ? listener_->serverPort() : 0;
}

bool HttpEndpoint::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    QHttpServerResponder responder = makeResponder(request, socket);
    const HttpVerdict verdict = CheckHttpRequest(HeadOf(request), port(), token_);
    if (verdict.status != 200) {
        Respond(responder, verdict.status, FormatError(verdict.error) + "\n", "application/json",
                verdict.allow);
        return true;
    }
    std::vector<OrderEvent> events;
    if (verdict.resource == HttpResource::kStatus) {
        events.emplace_back(Status{});
    } else {
        const QByteArray body = request.body();
        HttpEvents read =
            ReadHttpEvents(std::string_view(body.constData(), static_cast<size_t>(body.size())),
                           verdict.resource);
        if (!read.error.empty()) {
            Respond(responder, 400, FormatError(read.error) + "\n", "application/json");
            return true;
        }
        events = std::move(read.events);
    }
    auto pending = std::make_shared<PendingReplies>(
        std::move(responder), socket, events.size(), verdict.resource == HttpResource::kEventLines);
    pending->left = events.size();
    for (size_t i = 0; i < events.size(); ++i) {
        dispatcher_.Submit(std::move(events[i]),
                           [pending, i](const OrderEvent& event) { Done(*pending, i, event); });
    }
    return true;
}

void HttpEndpoint::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    QHttpServerResponder responder = makeResponder(request, socket);
    Respond(responder, 404, FormatError("no such resource") + "\n", "application/json");
}

}  // namespace quillet
