// One client of the control server: a nonblocking Unix socket cut into request lines, and the
// reply lines going back. The connection reads no further while it holds unanswered lines, so
// a client that sends faster than the server handles waits in its own socket buffer. Likewise a
// client that does not read its replies: while more than kMaxUnsentReplyBytes of them wait to
// be written, nothing more is read and no line is offered; once the client has read them back
// under the limit, the lines go on. Nothing is dropped, and nothing waits on the client.
//
// Lines end in LF. A line longer than kMaxControlLineBytes (a CR before the LF not counted)
// becomes a too-long item, and nothing after it is read. A last line without LF before the
// client stops sending counts as a line. The connection finishes once input has ended and
// every item taken was answered and the answers were written; it finishes at once when the
// socket fails (the client went away), dropping what is left. Either way it emits `finished`
// once and then stays inert until deleted.
//
// Needs a Qt event loop in the thread that owns it.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace quillet {

// The replies that may wait for a client before it is read no further. One reply more may be
// queued on top (the answer to a line already taken), so the queue passes it by one reply at
// most.
inline constexpr size_t kMaxUnsentReplyBytes = 1024 * 1024;

class ControlConnection final : public QObject {
    Q_OBJECT

  public:
    struct Item {
        std::string line;       // the request line, without its LF
        bool too_long = false;  // the line was over the limit (and `line` is empty)
    };

    // Takes over `fd`, a connected nonblocking stream socket, and starts reading.
    ControlConnection(quint64 id, UniqueFd fd, QObject* parent);
    ~ControlConnection() override;

    quint64 id() const { return id_; }

    // Whether a line may be taken now: there is one, and the replies waiting are within
    // kMaxUnsentReplyBytes.
    bool HasItem() const { return !items_.empty() && !Backlogged(); }
    // The oldest unanswered line. Requires HasItem(). Each item taken must be answered with
    // exactly one Send, in the order taken.
    Item TakeItem();

    // Queues `reply` and an LF, writes what the client takes now and the rest when it can. A
    // failed write finishes the connection. Does nothing on a finished connection.
    void Send(std::string_view reply);
    // Queues `line` and an LF as Send does, answering no line: a line the client did not ask
    // for one by one (a watched outcome).
    void Push(std::string_view line);
    // Writes what is queued, then waits until all of it is written, at most `limit` (0: only
    // what the socket takes at once). False when it could not be.
    bool FlushBlocking(std::chrono::milliseconds limit);

    // Finishes now when the client has closed its end and left nothing to handle or write (no
    // line, no request under way, no reply), rather than when the event loop next looks at
    // the socket. Never waits.
    void FinishIfClientLeft();
    // The bytes of replies queued and not yet written.
    size_t Unsent() const { return outgoing_.size(); }

  signals:
    // HasItem() became true: a line came to an empty queue, or the replies went back under
    // kMaxUnsentReplyBytes while lines wait.
    void itemsAvailable(quint64 id);
    // The connection is over; the owner should delete it later (not from within the signal).
    void finished(quint64 id);

  private:
    bool Backlogged() const { return outgoing_.size() > kMaxUnsentReplyBytes; }
    void OnReadable();
    void OnWritable();
    void TakeBytes(std::string_view bytes);
    void AddLine(std::string line);
    void AddTooLong();
    void WritePending();
    void UpdateNotifiers();
    void FinishIfDone();
    void Finish();

    const quint64 id_;
    UniqueFd fd_;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    std::string partial_;       // the start of a line whose LF has not come yet
    std::deque<Item> items_;    // complete lines not yet taken
    bool input_ended_ = false;  // the client stopped sending, or sent a line too long
    size_t unanswered_ = 0;     // items taken and not yet answered
    std::string outgoing_;      // replies not yet written
    bool finished_ = false;
};

}  // namespace quillet
