// bench-hand-over [SAMPLES]
//
// The cost of handing a mail to the mail thread and its outcome back: a job that does nothing
// goes from the user-interface thread's event loop to the mail thread (MailWorker) and its
// `done` back through the event loop, as every order mail's does. Each sample starts with both
// threads asleep, as between orders, so that it pays for the two wake-ups as an order does. The
// figures are the round trip and the CPU it takes, both threads together.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench_table.h"
#include "mail/mail_worker.h"
#include "platform/qt/event_loop_post.h"

namespace {

double CpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace quillet;
    using namespace quillet::bench;
    const int samples = argc > 1 ? std::atoi(argv[1]) : 3000;
    QCoreApplication app(argc, argv);
    EventLoopPost outcomes;  // as the program hands outcomes back
    MailWorker worker(
        [&outcomes](std::function<void()> task) { outcomes.Post(std::move(task)); },
        [&outcomes](std::function<void()> task) { outcomes.BeforeWaiting(std::move(task)); });
    std::vector<double> round_trips;
    const double cpu_start = CpuMs();
    for (int i = 0; i < samples; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // both threads asleep
        QEventLoop loop;
        std::chrono::steady_clock::time_point end;
        const auto start = std::chrono::steady_clock::now();
        worker.Submit([] { return SendResult{}; },
                      [&](const SendResult&) {
                          end = std::chrono::steady_clock::now();
                          loop.quit();
                      });
        loop.exec();
        round_trips.push_back(Milliseconds(end - start) * 1000);
    }
    const double cpu_us = (CpuMs() - cpu_start) * 1000 / samples;
    const std::string n = std::to_string(samples);
    PrintRow(
        "Hand-over to the mail thread and back (" + n + " jobs): median / p99",
        Fixed(Median(round_trips), 0, "µs") + " / " + Fixed(Percentile(round_trips, 99), 0, "µs"));
    PrintRow("CPU per hand-over, both threads (the 1 ms sleeps between them included)",
             Fixed(cpu_us, 0, "µs"));
    return 0;
}
