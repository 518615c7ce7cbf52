// SIGINT, SIGTERM and SIGHUP end the program the way closing its window does, so that the
// settings are saved: the signal is turned into a call on the event loop.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "platform/unique_fd.h"

namespace quillet {

class TerminationSignals final : public QObject {
    Q_OBJECT
  public:
    // From now on those signals run `on_signal` on this thread's event loop. One instance at a
    // time; the signals' default handling comes back when it goes.
    explicit TerminationSignals(std::function<void()> on_signal);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    void OnSignal();

    std::function<void()> on_signal_;
    UniqueFd read_end_;
    UniqueFd write_end_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quillet
