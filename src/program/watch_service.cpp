#include "program/watch_service.h"

#include <chrono>
#include <variant>

#include "app/watch/report_mail.h"
#include "platform/qt/wall_time.h"
#include "platform/qt/watch_window.h"

namespace quillet {
namespace {

constexpr std::chrono::seconds kCheckEvery(10);

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

WatchService::WatchService(const std::string& settings_file, Services services)
    : services_(services),
      settings_file_(settings_file),
      settings_(ReadWatchSettings(settings_file_)),
      alarm_(WatchClock{&NowMs, &WallTimeIn}, [this](const WatchAlert& alert) { Alert(alert); }) {
    alarm_.SetSettings(settings_);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { alarm_.Check(); });
    timer_.start(kCheckEvery);
}

void WatchService::Saw(const OrderEvent& event) {
    if (std::holds_alternative<Connect>(event)) {
        alarm_.Connected();
    } else if (std::holds_alternative<Disconnect>(event)) {
        alarm_.Disconnected();
    } else if (std::holds_alternative<OrderPlaced>(event) ||
               std::holds_alternative<OrderCancelled>(event) ||
               std::holds_alternative<OrderModified>(event) ||
               std::holds_alternative<OrderFilled>(event) ||
               std::holds_alternative<OrderRejected>(event) ||
               std::holds_alternative<OrderExpired>(event) ||
               std::holds_alternative<ReportNotListed>(event)) {
        alarm_.OrderEvent();
    }
}

void WatchService::FixState(const std::string& state, const std::string& detail) {
    alarm_.FixState(state, detail);
}

void WatchService::OpenSettings(QWidget* parent) {
    WatchWindow window(ReadWatchSettings(settings_file_), parent);
    if (window.exec() != QDialog::Accepted) {
        return;
    }
    settings_ = window.Chosen();
    alarm_.SetSettings(settings_);
    if (const Result<> saved = WriteWatchSettings(settings_file_, settings_); !saved.ok()) {
        services_.screen.ShowMessage("The settings cannot be saved: " + saved.error().message,
                                     "Quillet", MessageIcon::Exclamation);
    }
}

void WatchService::Alert(const WatchAlert& alert) {
    SendReport(services_.outbox, services_.journal, services_.setup.Settings(), ReportKind::kAlert,
               alert.subject, alert.body, NowMs());
    services_.notifier.Notify({alert.subject, alert.body,
                               alert.cleared ? NoticeUrgency::Normal : NoticeUrgency::Critical, "",
                               "alert-" + alert.kind});
}

}  // namespace quillet
