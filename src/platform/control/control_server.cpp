#include "platform/control/control_server.h"

#include <sys/socket.h>

#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/wire/control_protocol.h"
#include "platform/control/control_connection.h"
#include "platform/control/control_socket_folder.h"

namespace quillet {
namespace {

// How long accepting pauses when the process is out of file descriptors.
constexpr std::chrono::milliseconds kAcceptPause{100};
// Connections accepted in one pass of the event loop, so that a flood of them leaves the
// window its turns.
constexpr int kAcceptsPerPass = 64;

// Tells a client over the limit why it is turned away, never waiting on it. What it sent
// already is read and dropped first, so that closing ends its stream rather than resetting it.
void TurnAway(const UniqueFd& fd) {
    const std::string line =
        FormatError("too many connections (" + std::to_string(kMaxControlConnections) + ")") + "\n";
    (void)send(fd.get(), line.data(), line.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    shutdown(fd.get(), SHUT_WR);
    std::array<char, 4096> dropped;
    for (int reads = 0;
         reads < 16 && recv(fd.get(), dropped.data(), dropped.size(), MSG_DONTWAIT) > 0; ++reads) {
    }
}

}  // namespace

ControlServer::ControlServer(OrderDispatcher& dispatcher, QObject* parent)
    : QObject(parent), dispatcher_(dispatcher) {}

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
    for (int accepted = 0; accepted < kAcceptsPerPass; ++accepted) {
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
        if (connections_.size() >= kMaxControlConnections) {
            FinishLeftClients();
        }
        if (connections_.size() >= kMaxControlConnections) {
            TurnAway(fd);
            continue;
        }
        const quint64 id = next_id_++;
        // Owned by this server as its Qt child; deleted after it finishes.
        auto* client = new ControlConnection(id, std::move(fd), this);
        connect(client, &ControlConnection::itemsAvailable, this, &ControlServer::Pump);
        connect(client, &ControlConnection::finished, this, &ControlServer::OnFinished);
        connections_.emplace(id, client);
    }
}

void ControlServer::ResumeAccepting() {
    if (incoming_) {
        incoming_->setEnabled(true);
    }
}

void ControlServer::FinishLeftClients() {
    std::vector<quint64> ids;
    for (const auto& entry : connections_) {
        ids.push_back(entry.first);
    }
    for (const quint64 id : ids) {  // a finished client leaves connections_ at once
        if (ControlConnection* client = Find(id)) {
            client->FinishIfClientLeft();
        }
    }
}

void ControlServer::Pump(quint64 id) {
    // Looked up afresh for each line: a request handled at once may run a nested event loop
    // in which the client goes.
    for (ControlConnection* client = Find(id); client != nullptr && client->HasItem();
         client = Find(id)) {
        if (const Owed& owed = owed_[id];
            owed.shutdown || Dispatched(owed) >= kMaxDispatchedLines) {
            return;  // the next line is taken once a reply has gone
        }
        const ControlConnection::Item item = client->TakeItem();
        if (item.too_long) {
            Owe(id, FormatError("line longer than " + std::to_string(kMaxControlLineBytes) +
                                " bytes; closing the connection"));
            continue;
        }
        if (IsWatchRequest(item.line)) {
            Owe(id, FormatWatchReply(), true);
            continue;
        }
        Result<OrderEvent> request = ParseControlRequest(item.line);
        if (!request.ok()) {
            Owe(id, FormatError(request.error().message));
            continue;
        }
        Owed& owed = owed_[id];
        const uint64_t number = owed.first + owed.replies.size();
        owed.replies.emplace_back();
        owed.shutdown = std::holds_alternative<Shutdown>(request.value());
        dispatcher_.Submit(std::move(request).value(), EventSource::kSocket,
                           [this, alive = QPointer<ControlServer>(this), id, number](
                               const OrderEvent& e, const EventReply& reply) {
                               if (alive) {
                                   Answer(id, number, e, reply);
                               }
                           });
    }
}

void ControlServer::Answer(quint64 id, uint64_t number, const OrderEvent& event,
                           const EventReply& reply) {
    const auto found = owed_.find(id);
    if (found == owed_.end() || number < found->second.first) {
        return;  // the client has gone
    }
    Owed& owed = found->second;
    owed.replies.at(number - owed.first).line = FormatReply(event, reply);
    SendOwed(id);
    if (std::holds_alternative<Shutdown>(event)) {
        return;  // the program ends: what is left of the reply goes out in FlushRepliesAtEnd
    }
    Pump(id);
}

size_t ControlServer::Dispatched(const Owed& owed) {
    return static_cast<size_t>(std::count_if(owed.replies.begin(), owed.replies.end(),
                                             [](const Reply& reply) { return !reply.line; }));
}

void ControlServer::Owe(quint64 id, std::string line, bool watch) {
    owed_[id].replies.push_back({std::move(line), watch});
    SendOwed(id);
}

void ControlServer::SendOwed(quint64 id) {
    const auto found = owed_.find(id);
    if (found == owed_.end()) {
        return;
    }
    // Taken off first: a reply's write may finish the connection, and with it this client's
    // entry.
    std::vector<Reply> ready;
    Owed& owed = found->second;
    while (!owed.replies.empty() && owed.replies.front().line) {
        ready.push_back(std::move(owed.replies.front()));
        owed.replies.pop_front();
        ++owed.first;
    }
    for (const Reply& reply : ready) {
        if (reply.watch) {
            watchers_.insert(id);  // its outcomes come after the reply
        }
        Send(id, *reply.line);
    }
}

void ControlServer::FlushRepliesAtEnd(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<quint64> ids;
    for (const auto& [id, client] : connections_) {
        ids.push_back(id);
    }
    // Every client's reply goes as far as its socket takes it at once, before any is waited for.
    for (const bool wait : {false, true}) {
        for (const quint64 id : ids) {
            if (ControlConnection* client = Find(id)) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                client->FlushBlocking(wait ? std::max(left, std::chrono::milliseconds(0))
                                           : std::chrono::milliseconds(0));
            }
        }
    }
}

void ControlServer::Broadcast(const std::string& line) {
    for (auto watcher = watchers_.begin(); watcher != watchers_.end();) {
        ControlConnection* client = Find(*watcher);
        if (client == nullptr) {
            watcher = watchers_.erase(watcher);
        } else if (client->Unsent() > kMaxUnsentReplyBytes) {
            client->Push(FormatError("watch ended: more than " +
                                     std::to_string(kMaxUnsentReplyBytes) +
                                     " bytes of its lines were not read"));
            watcher = watchers_.erase(watcher);
        } else {
            client->Push(line);
            ++watcher;
        }
    }
}

void ControlServer::OnFinished(quint64 id) {
    watchers_.erase(id);
    owed_.erase(id);
    const auto found = connections_.find(id);
    if (found != connections_.end()) {
        found->second->deleteLater();
        connections_.erase(found);
    }
}

void ControlServer::Send(quint64 id, const std::string& reply) {
    if (ControlConnection* client = Find(id)) {
        client->Send(reply);
    }
}

ControlConnection* ControlServer::Find(quint64 id) const {
    const auto found = connections_.find(id);
    return found == connections_.end() ? nullptr : found->second;
}

}  // namespace quillet
