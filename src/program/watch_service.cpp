#include "program/watch_service.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <chrono>
#include <iostream>
#include <memory>
#include <thread>
#include <variant>

#include "app/watch/report_mail.h"
#include "platform/history/day_summary.h"
#include "platform/qt/wall_time.h"
#include "platform/qt/watch_window.h"

namespace quillet {
namespace {

constexpr std::chrono::seconds kCheckEvery(10);
// The journal writes what comes within 100 ms together: the summary waits for that.
constexpr std::chrono::milliseconds kJournalGathers(300);

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

WatchService::WatchService(const std::string& settings_file, const std::string& journal_file,
                           Services services)
    : services_(services),
      settings_file_(settings_file),
      settings_(ReadWatchSettings(settings_file_)),
      alarm_(WatchClock{&NowMs, &WallTimeIn}, [this](const WatchAlert& alert) { Alert(alert); }),
      summary_(WatchClock{&NowMs, &WallTimeIn}),
      journal_file_(journal_file),
      reads_([](std::function<void()> task) {
          QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
      }) {
    alarm_.SetSettings(settings_);
    summary_.SetSettings(settings_);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Check(); });
    timer_.start(kCheckEvery);
}

WatchService::~WatchService() {
    reads_.Stop();
}

void WatchService::Check() {
    alarm_.Check();
    if (const auto day = summary_.DueNow()) {
        SendSummary(*day, nullptr);
    }
}

void WatchService::BeforeShutdown(std::function<void()> then) {
    if (const auto day = summary_.DueAtEnd()) {
        SendSummary(*day, std::move(then));
    } else {
        then();
    }
}

void WatchService::SendSummary(const std::string& day, std::function<void()> then) {
    summary_.Sent(day);  // due no more in this run, whatever comes of it
    const int64_t since = QDate::fromString(QString::fromStdString(day), Qt::ISODate)
                              .startOfDay()
                              .toMSecsSinceEpoch();
    auto read = std::make_shared<std::optional<DaySummary>>();
    auto error = std::make_shared<std::string>();
    reads_.Submit(
        [path = QString::fromStdString(journal_file_), day, since, read, error] {
            std::this_thread::sleep_for(kJournalGathers);
            JournalReader journal(path);
            *read = ReadDaySummary(journal, day, since);
            *error = journal.error().toStdString();
            return SendResult{};
        },
        [this, day, read, error, then = std::move(then)](const SendResult&) {
            const std::string subject = "Quillet daily summary: " + day;
            const bool given =
                *read ? SendReport(
                            services_.outbox, services_.journal, services_.setup.Settings(),
                            ReportKind::kSummary, subject, (*read)->body, NowMs(),
                            MailAttachment{"quillet-" + day + ".csv", "text/csv", (*read)->csv})
                      : SendReport(
                            services_.outbox, services_.journal, services_.setup.Settings(),
                            ReportKind::kSummary, subject,
                            "Quillet's summary of " + day + " cannot be made: " + *error + "\n",
                            NowMs());
            if (given) {
                if (const Result<> saved = WriteSummarySentDay(settings_file_, day); !saved.ok()) {
                    std::cerr << "quillet: the day of the summary could not be saved: "
                              << saved.error().message << '\n';
                }
            }
            if (then) {
                then();
            }
        });
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
    summary_.SetSettings(settings_);
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
