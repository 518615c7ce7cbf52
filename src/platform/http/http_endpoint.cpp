#include "platform/http/http_endpoint.h"

#include <QPointer>
#include <QTcpSocket>
#include <QtHttpServer/QHttpServerRequest>
#include <memory>
#include <vector>

#include "app/wire/control_protocol.h"
#include "platform/http/http_reply_queue.h"
#include "platform/http/http_request_rules.h"

namespace quillet {
namespace {

// The request's method and headers as the rules read them.
HttpRequestHead HeadOf(const QHttpServerRequest& request) {
    HttpRequestHead head;
    switch (request.method()) {
        case QHttpServerRequest::Method::Get:
            head.method = "GET";
            break;
        case QHttpServerRequest::Method::Post:
            head.method = "POST";
            break;
        default:
            head.method = "OTHER";
            break;
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

// The replies of one request's events, filled as each is done; the response goes with the last.
struct PendingReplies {
    PendingReplies(HttpReplyQueue& q, uint64_t t, size_t count, bool lines)
        : queue(&q), ticket(t), replies(count), left(count), lines(lines) {}
    QPointer<HttpReplyQueue> queue;
    uint64_t ticket;
    std::vector<std::string> replies;
    size_t left;
    bool lines;
};

void Done(PendingReplies& pending, size_t index, const OrderEvent& event,
          const EventReply& handled) {
    pending.replies[index] = FormatReply(event, handled);
    if (--pending.left > 0 || !pending.queue) {
        return;
    }
    HttpReply reply;
    reply.type = pending.lines ? "application/x-ndjson" : "application/json";
    reply.flush = std::holds_alternative<Shutdown>(event);  // its handler ends the program
    for (const std::string& line : pending.replies) {
        reply.body += line + "\n";
    }
    pending.queue->Answer(pending.ticket, std::move(reply));
}

HttpReply Refusal(int status, const std::string& error, const std::string& allow = {}) {
    return HttpReply{status, FormatError(error) + "\n", "application/json", allow, false};
}

}  // namespace

HttpEndpoint::HttpEndpoint(OrderDispatcher& dispatcher, std::string token,
                           std::chrono::milliseconds idle_limit, QObject* parent)
    : QAbstractHttpServer(parent),
      dispatcher_(dispatcher),
      token_(std::move(token)),
      listener_(new HttpListener(token_, idle_limit, HttpListener::kHeadLimit, this)) {}

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
    HttpReplyQueue& queue = HttpReplyQueue::For(*socket);
    const uint64_t ticket = queue.Reserve(makeResponder(request, socket));
    const HttpVerdict verdict = CheckHttpRequest(HeadOf(request), port(), token_);
    if (verdict.status != 200) {
        queue.Answer(ticket, Refusal(verdict.status, verdict.error, verdict.allow));
        return true;
    }
    std::vector<OrderEvent> events;
    if (verdict.resource == HttpResource::kStatus) {
        events.emplace_back(Status{});
    } else {
        const QByteArray body = request.body();
        HttpEvents read = ReadHttpEvents(
            std::string_view(body.constData(), static_cast<size_t>(body.size())), verdict.resource);
        if (!read.error.empty()) {
            queue.Answer(ticket, Refusal(400, read.error));
            return true;
        }
        events = std::move(read.events);
    }
    auto pending = std::make_shared<PendingReplies>(queue, ticket, events.size(),
                                                    verdict.resource == HttpResource::kEventLines);
    for (size_t i = 0; i < events.size(); ++i) {
        dispatcher_.Submit(std::move(events[i]), EventSource::kHttp,
                           [pending, i](const OrderEvent& event, const EventReply& reply) {
                               Done(*pending, i, event, reply);
                           });
    }
    return true;
}

void HttpEndpoint::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    HttpReplyQueue& queue = HttpReplyQueue::For(*socket);
    queue.Answer(queue.Reserve(makeResponder(request, socket)), Refusal(404, "no such resource"));
}

}  // namespace quillet
