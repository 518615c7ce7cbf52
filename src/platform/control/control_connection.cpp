#include "platform/control/control_connection.h"

#include <poll.h>
#include <sys/socket.h>

#include <QPointer>
#include <array>
#include <cerrno>

#include "app/wire/control_protocol.h"

namespace quillet {
namespace {

constexpr size_t kReadChunk = 16 * 1024;
// The reply buffer a connection keeps once it has written everything out.
constexpr size_t kKeptReplyCapacity = 64 * 1024;

// The length of a line as the limit counts it: without a CR at its end.
size_t CountedLength(std::string_view line) {
    return line.size() - (!line.empty() && line.back() == '\r' ? 1 : 0);
}

}  // namespace

ControlConnection::ControlConnection(quint64 id, UniqueFd fd, QObject* parent)
    : QObject(parent),
      id_(id),
      fd_(std::move(fd)),
      readable_(std::make_unique<QSocketNotifier>(fd_.get(), QSocketNotifier::Read)),
      writable_(std::make_unique<QSocketNotifier>(fd_.get(), QSocketNotifier::Write)) {
    writable_->setEnabled(false);
    connect(readable_.get(), &QSocketNotifier::activated, this, &ControlConnection::OnReadable);
    connect(writable_.get(), &QSocketNotifier::activated, this, &ControlConnection::OnWritable);
}

ControlConnection::~ControlConnection() {
    // The notifiers go before the descriptor they watch.
    readable_.reset();
    writable_.reset();
}

ControlConnection::Item ControlConnection::TakeItem() {
    Item item = std::move(items_.front());
    items_.pop_front();
    ++unanswered_;
    UpdateNotifiers();
    return item;
}

void ControlConnection::Send(std::string_view reply) {
    if (unanswered_ > 0) {
        --unanswered_;
    }
    Push(reply);
}

void ControlConnection::Push(std::string_view line) {
    if (finished_) {
        return;
    }
    outgoing_.append(line);
    outgoing_.push_back('\n');
    WritePending();
    if (!finished_) {
        UpdateNotifiers();
        FinishIfDone();
    }
}

bool ControlConnection::FlushBlocking(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    if (!finished_) {
        WritePending();
    }
    while (!finished_ && !outgoing_.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd waiting{fd_.get(), POLLOUT, 0};
        if (poll(&waiting, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            return false;
        }
        WritePending();
    }
    if (!finished_) {
        UpdateNotifiers();
    }
    return outgoing_.empty() && !finished_;
}

void ControlConnection::FinishIfClientLeft() {
    if (finished_ || !items_.empty() || unanswered_ > 0 || !outgoing_.empty() ||
        !partial_.empty()) {
        return;
    }
    char byte = 0;
    if (recv(fd_.get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
        input_ended_ = true;
        Finish();
    }
}

void ControlConnection::OnReadable() {
    const bool had_items = HasItem();
    std::array<char, kReadChunk> buffer;
    while (!finished_ && !input_ended_ && items_.empty() && !Backlogged()) {
        const ssize_t count = recv(fd_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (count > 0) {
            TakeBytes(std::string_view(buffer.data(), static_cast<size_t>(count)));
        } else if (count == 0) {
            input_ended_ = true;
            if (!partial_.empty()) {
                AddLine(std::move(partial_));
                partial_.clear();
            }
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        } else if (errno != EINTR) {
            Finish();
        }
    }
    if (finished_) {
        return;
    }
    // The lines are offered before the notifiers are set: a line taken at once (the usual
    // case) leaves the read notifier as it stands, with no round of switching it off and on.
    if (!had_items && HasItem()) {
        // The line may be handled at once, and its handler may run a nested event loop (a
        // message box) in which this connection finishes and is deleted.
        const QPointer<ControlConnection> alive(this);
        emit itemsAvailable(id_);
        if (!alive) {
            return;
        }
    }
    UpdateNotifiers();
    FinishIfDone();
}

void ControlConnection::OnWritable() {
    const bool held = !items_.empty() && Backlogged();
    WritePending();
    if (finished_) {
        return;
    }
    if (held && HasItem()) {
        const QPointer<ControlConnection> alive(this);  // as in OnReadable
        emit itemsAvailable(id_);
        if (!alive) {
            return;
        }
    }
    UpdateNotifiers();
    FinishIfDone();
}

void ControlConnection::TakeBytes(std::string_view bytes) {
    while (!input_ended_ && !bytes.empty()) {
        const size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            partial_.append(bytes);
            if (CountedLength(partial_) > kMaxControlLineBytes) {
                partial_.clear();
                AddTooLong();
            }
            return;
        }
        partial_.append(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
        AddLine(std::move(partial_));
        partial_.clear();
    }
}

void ControlConnection::AddLine(std::string line) {
    if (CountedLength(line) > kMaxControlLineBytes) {
        AddTooLong();
        return;
    }
    items_.push_back(Item{std::move(line), false});
}

void ControlConnection::AddTooLong() {
    items_.push_back(Item{{}, true});
    input_ended_ = true;
}

void ControlConnection::WritePending() {
    size_t written = 0;
    while (written < outgoing_.size()) {
        const ssize_t count = send(fd_.get(), outgoing_.data() + written,
                                   outgoing_.size() - written, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (count > 0) {
            written += static_cast<size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            Finish();
            return;
        }
    }
    outgoing_.erase(0, written);
    if (outgoing_.empty() && outgoing_.capacity() > kKeptReplyCapacity) {
        std::string().swap(outgoing_);  // a burst's buffer goes with the burst
    }
}

void ControlConnection::UpdateNotifiers() {
    readable_->setEnabled(!finished_ && !input_ended_ && items_.empty() && !Backlogged());
    writable_->setEnabled(!finished_ && !outgoing_.empty());
}

void ControlConnection::FinishIfDone() {
    if (input_ended_ && items_.empty() && unanswered_ == 0 && outgoing_.empty()) {
        Finish();
    }
}

void ControlConnection::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    readable_->setEnabled(false);
    writable_->setEnabled(false);
    shutdown(fd_.get(), SHUT_RDWR);
    emit finished(id_);
}

}  // namespace quillet
