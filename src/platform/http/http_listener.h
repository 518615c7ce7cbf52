// The endpoint's TCP listener, on 127.0.0.1 alone, whose connections never hang: one that
// brings nothing and is told nothing for kIdleLimit is closed, and one that sends more than a
// whole request may hold (kMaxUnanswered) before it is answered is told 413 and closed, so that
// neither a slow nor a flooding client holds memory or a descriptor for long.
#pragma once

#include <QTcpServer>
#include <chrono>
#include <cstdint>
#include <string>

namespace quillet {

class HttpListener final : public QTcpServer {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kIdleLimit{10000};
    static constexpr qint64 kMaxUnanswered = 128 * 1024;

    // `idle_limit`: how long a connection may rest; tests shorten it.
    explicit HttpListener(std::chrono::milliseconds idle_limit = kIdleLimit,
                          QObject* parent = nullptr);

    // Listens on 127.0.0.1 at `port` (0: any free one). Gives "" or why not.
    std::string Listen(uint16_t port);

  protected:
    void incomingConnection(qintptr descriptor) override;

  private:
    std::chrono::milliseconds idle_limit_;
};

}  // namespace quillet
