#include "platform/control/control_server.h"

#include <sys/socket.h>

#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>

#include "app/control_protocol.h"
#include "platform/control/control_connection.h"
#include "platform/control/control_socket_folder.h"

namespace quillet {
namespace {

constexpr std::chrono::milliseconds kShutdownFlushLimit{2000};
// How long accepting pauses when the process is out of file descriptors.
constexpr std::chrono::milliseconds kAcceptPause{100};

}  // namespace

ControlServer::ControlServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

ControlServer::~ControlServer() {
    // The notifier goes before the listening socket it watches.
    incoming_.reset();
}

std::string ControlServer::Start() {
    return Start(LocateControlSocket(CurrentControlSocketEnvironment()));
}

std::string ControlServer::Start(const ControlSocketLocation& location) {
    if (incoming_) {
        return "the control server already listens at " + listener_.path();
    }
    if (!location.private_folder.empty()) {
        if (std::string error = PreparePrivateSocketFolder(location.private_folder);
            !error.empty()) {
            return error;
        }
    }
    if (std::string error = listener_.Listen(location.path); !error.empty()) {
        return error;
    }
    incoming_ = std::make_unique<QSocketNotifier>(listener_.fd(), QSocketNotifier::Read);
    connect(incoming_.get(), &QSocketNotifier::activated, this, &ControlServer::OnIncoming);
    return {};
}

void ControlServer::OnIncoming() {
    while (true) {
        UniqueFd fd(accept4(listener_.fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // The client waits in the backlog; try again shortly rather than spin.
                incoming_->setEnabled(false);
                QTimer::singleShot(kAcceptPause, this, &ControlServer::ResumeAccepting);
            }
            return;
        }
        const quint64 id = next_id_++;
        // Owned by this server as its Qt child; deleted after it finishes.
        auto* client = new ControlConnection(id, std::move(fd), this);
        connect(client, &ControlConnection::itemsAvailable, this, &ControlServer::OnItemsAvailable);
        connect(client, &ControlConnection::finished, this, &ControlServer::OnFinished);
        connections_.emplace(id, client);
    }
}

void ControlServer::ResumeAccepting() {
    if (incoming_) {
        incoming_->setEnabled(true);
    }
}

void ControlServer::OnItemsAvailable(quint64 id) {
    ready_.push_back(id);
    ScheduleDrain();
}

void ControlServer::OnFinished(quint64 id) {
    const auto found = connections_.find(id);
    if (found != connections_.end()) {
        found->second->deleteLater();
        connections_.erase(found);
    }
}

void ControlServer::ScheduleDrain() {
    if (!drain_posted_) {
        drain_posted_ = true;
        QMetaObject::invokeMethod(this, &ControlServer::Drain, Qt::QueuedConnection);
    }
}

void ControlServer::Drain() {
    drain_posted_ = false;
    if (handling_) {
        return;  // called again once the running handler returns
    }
    while (!ready_.empty()) {
        const quint64 id = ready_.front();
        ready_.pop_front();
        ControlConnection* client = Find(id);
        if (client == nullptr || !client->HasItem()) {
            continue;
        }
        ControlConnection::Item item = client->TakeItem();
        if (client->HasItem()) {
            ready_.push_back(id);  // its next line waits its turn behind the other clients
        }
        handling_ = true;
        if (!HandleItem(id, item.line, item.too_long)) {
            return;
        }
        handling_ = false;
        break;
    }
    if (!ready_.empty()) {
        ScheduleDrain();
    }
}

bool ControlServer::HandleItem(quint64 id, const std::string& line, bool too_long) {
    if (too_long) {
        Reply(id, FormatError("line longer than " + std::to_string(kMaxControlLineBytes) +
                              " bytes; closing the connection"));
        return true;
    }
    ParsedControlRequest request = ParseControlRequest(line);
    if (!request.event) {
        Reply(id, FormatError(request.error));
        return true;
    }
    OrderEvent& event = *request.event;
    const bool shutdown = std::holds_alternative<Shutdown>(event);
    if (shutdown) {
        Reply(id, FormatReply(event));
        if (ControlConnection* client = Find(id)) {
            client->FlushBlocking(kShutdownFlushLimit);
        }
    }
    // A copy, so that a handler that destroys the server does not destroy itself while running.
    const Handler handler = handler_;
    const QPointer<ControlServer> alive(this);
    handler(event);
    if (alive.isNull()) {
        return false;
    }
    if (!shutdown) {
        Reply(id, FormatReply(event));
    }
    return true;
}

void ControlServer::Reply(quint64 id, const std::string& reply) {
    if (ControlConnection* client = Find(id)) {
        client->Send(reply);
    }
}

ControlConnection* ControlServer::Find(quint64 id) const {
    const auto found = connections_.find(id);
    return found == connections_.end() ? nullptr : found->second;
}

}  // namespace quillet
