// bench-journal-mail [PAIRS]
//
// The journal's cost on the mail path, in process: two outboxes as the program makes them (an
// OutboxFolder, a MailWorker with its outcomes through the event loop, libcurl's transport) mail
// to one smtp-sink on 127.0.0.1, one with a JournalWriter on a real file and one with no
// journal. Each sample is one order's mail from Outbox::Send, with its journal row, to its first
// attempt's outcome back on this thread; the samples come in pairs, the order within a pair
// alternating, after 20 pairs not counted. The figure is the median with the journal against
// the median without it.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/outbox/notifier.h"
#include "app/outbox/outbox.h"
#include "app/shell/program_files.h"
#include "bench_table.h"
#include "mail/mail_worker.h"
#include "platform/journal/journal_writer.h"
#include "platform/outbox/outbox_folder.h"
#include "platform/qt/event_loop_post.h"
#include "platform/smtp/curl_smtp_transport.h"
#include "sink_servers.h"
#include "temp_folder.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultPairs = 300;
constexpr int kWarmUp = 20;
constexpr double kGoalRatio = 1.1;
constexpr auto kSettle = std::chrono::milliseconds(5);

class NoNotices final : public Notifier {
  public:
    void Notify(const Notice&) override {}
    void Withdraw(const std::string&) override {}
    bool Available() const override { return false; }
};

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// One outbox with its own store, mail thread and transport.
class MailPath {
  public:
    MailPath(const std::string& folder, Journal* journal, MailSettings settings)
        : store_(OutboxFolderPath(folder + "/quillet.ini")),
          worker_([this](std::function<void()> task) { outcomes_.Post(std::move(task)); },
                  [this](std::function<void()> task) { outcomes_.BeforeWaiting(std::move(task)); }),
          settings_(std::move(settings)) {
        OutboxServices services{store_,
                                worker_,
                                transport_,
                                notices_,
                                [this] { return settings_; },
                                [](std::chrono::milliseconds delay, std::function<void()> task) {
                                    QTimer::singleShot(delay, std::move(task));
                                },
                                &NowMs,
                                RetrySchedule{}};
        services.journal = journal;
        outbox_ = std::make_unique<Outbox>(
            std::move(services), [](std::optional<size_t>, DeliveryState, const std::string&) {},
            [this](const SendResult& result) {
                delivered_ = result.ok();
                end_ = std::chrono::steady_clock::now();
                loop_.quit();
            });
        outbox_->Start();
    }

    // Microseconds from Send to the first attempt's outcome.
    double MailOnce(int number) {
        const std::string id = std::to_string(100000 + number);
        JournalEventRecord row;
        row.at_ms = NowMs();
        row.event = "OrderPlaced";
        row.order_id = id;
        OrderPlaced placed;
        placed.OrderId = id;
        row.facts = placed;
        row.line = "Buy 100 XYZ Limit 12.50 (" + id + ")";
        const auto start = std::chrono::steady_clock::now();
        outbox_->Send(std::nullopt, id, "Order " + id, row.line + "\r\n", settings_, {},
                      std::move(row));
        loop_.exec();
        if (!delivered_) {
            throw std::runtime_error("the mail of order " + id + " was not delivered");
        }
        return Milliseconds(end_ - start) * 1000;
    }

  private:
    OutboxFolder store_;
    EventLoopPost outcomes_;
    MailWorker worker_;
    CurlSmtpTransport transport_;
    NoNotices notices_;
    MailSettings settings_;
    std::unique_ptr<Outbox> outbox_;
    QEventLoop loop_;
    bool delivered_ = false;
    std::chrono::steady_clock::time_point end_;
};

int Run(int argc, char* argv[], int pairs) {
    QCoreApplication app(argc, argv);
    SmtpSink sink(0, false);
    MailSettings settings;
    settings.display_name = "Order Desk";
    settings.email = "desk@example.com";
    settings.server = "127.0.0.1";
    settings.port = std::to_string(sink.port());
    settings.send_to = {"broker@example.com", "me@example.org"};
    const TempFolder with_folder, without_folder;
    JournalWriter journal(JournalFilePath(with_folder.Path("quillet.ini")),
                          std::chrono::hours(24 * 90));
    MailPath with(with_folder.path(), &journal, settings);
    MailPath without(without_folder.path(), nullptr, settings);

    std::vector<double> with_us, without_us;
    for (int i = 0; i < kWarmUp + pairs; ++i) {
        double a = 0, b = 0;
        std::this_thread::sleep_for(kSettle);
        if (i % 2 == 0) {
            a = with.MailOnce(2 * i);
            std::this_thread::sleep_for(kSettle);
            b = without.MailOnce(2 * i + 1);
        } else {
            b = without.MailOnce(2 * i + 1);
            std::this_thread::sleep_for(kSettle);
            a = with.MailOnce(2 * i);
        }
        if (i >= kWarmUp) {
            with_us.push_back(a);
            without_us.push_back(b);
        }
    }
    const double ratio = Median(with_us) / Median(without_us);
    PrintRow("Journal on the mail path (" + std::to_string(pairs) +
                 " pairs), Send -> delivered, median: with / without",
             Fixed(Median(with_us), 0, "µs") + " / " + Fixed(Median(without_us), 0, "µs") + " = " +
                 Fixed(ratio, 2, "x"),
             "≤ " + Fixed(kGoalRatio, 2, "x"), ratio <= kGoalRatio);
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    return quillet::bench::QtBenchMain("bench-journal-mail", argc, argv,
                                       quillet::bench::kDefaultPairs, &quillet::bench::Run);
}
