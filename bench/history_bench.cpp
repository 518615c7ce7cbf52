// bench-history [ROWS]
//
// The History window over a journal of 100,000 events, on the offscreen platform. The journal
// is written by the program's own writer (JournalWriter), one mail with its attempts for three
// events in four. Then:
//   - open: from constructing the window to its model holding the rows and the window shown,
//     its first rows painted (one turn of the event loop after show());
//   - memory: the heap the open window holds, against the heap before it was made;
//   - scroll to the end: the view's scroll bar to its maximum, the event loop run (the view
//     fetches and paints the last rows) and the last row's data asked for.
// One open first to fill the page cache, not counted; then the median of five opens.
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <string>
#include <vector>

#include "app/shell/program_files.h"
#include "bench_table.h"
#include "heap_usage.h"
#include "platform/journal/journal_writer.h"
#include "platform/qt/history_window.h"
#include "temp_folder.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultRows = 100'000;
constexpr int kOpens = 5;
constexpr double kGoalOpenMs = 300;
constexpr double kGoalHeapMiB = 64;

// Events of the kinds the program journals, one minute apart, ending now.
void WriteJournal(const std::string& path, int rows) {
    JournalWriter journal(path, std::chrono::hours(24 * 3650));
    const int64_t now_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
    for (int i = 0; i < rows; ++i) {
        const std::string id = std::to_string(100000 + i);
        JournalEventRecord event;
        event.at_ms = now_ms - static_cast<int64_t>(rows - i) * 60'000;
        event.event = i % 8 == 6 ? "OrderCancelled" : "OrderPlaced";
        event.order_id = id;
        event.symbol = "XYZ";
        event.side = i % 2 == 0 ? "Buy" : "Sell";
        event.quantity = std::to_string(100 * (1 + i % 50));
        event.price = "12.50";
        OrderPlaced placed;
        placed.OrderId = id;
        placed.Quantity = 100;
        placed.Symbol = "XYZ";
        event.facts = placed;
        event.line = "Buy 100 XYZ Limit 12.50 (" + id + ")";
        const bool mailed = i % 4 != 3;
        if (mailed) {
            event.outbox_id = "m" + id;
            event.message_id = "<" + id + "@quillet.local>";
            event.recipients = "desk@example.com, risk@example.com";
            event.message = "Subject: Order " + id + "\r\n\r\n" + event.line + "\r\n";
            event.mail_state = "waiting";
        }
        journal.RecordEvent(std::move(event));
        if (!mailed) {
            continue;
        }
        JournalMailRecord attempt;
        attempt.outbox_id = "m" + id;
        attempt.at_ms = now_ms - static_cast<int64_t>(rows - i) * 60'000 + 200;
        if (i % 16 == 0) {  // a failed attempt before the one that got through
            attempt.mail_state = "waiting";
            attempt.reason = "the server did not answer";
            journal.RecordMail(attempt);
            attempt.at_ms += 30'000;
            attempt.reason.clear();
        }
        attempt.mail_state = "delivered";
        attempt.server_reply = "250 2.0.0 Ok: queued";
        attempt.delivered_ms = attempt.at_ms;
        journal.RecordMail(std::move(attempt));
    }
}  // the writer's destructor writes what is still waiting

struct Open {
    double open_ms = 0;
    double heap_mib = 0;
    double scroll_ms = 0;
    int rows = 0;
};

Open OpenOnce(const QString& path) {
    QApplication::processEvents();
    const size_t heap_before = HeapBytesInUse();
    Open result;
    const auto start = std::chrono::steady_clock::now();
    HistoryWindow window(path);
    window.show();
    QApplication::processEvents();
    result.open_ms = Milliseconds(std::chrono::steady_clock::now() - start);
    result.rows = window.model().rowCount();
    result.heap_mib =
        (static_cast<double>(HeapBytesInUse()) - static_cast<double>(heap_before)) / 1048576;

    const auto scroll_start = std::chrono::steady_clock::now();
    QScrollBar* bar = window.table()->verticalScrollBar();
    bar->setValue(bar->maximum());
    QApplication::processEvents();
    const QAbstractItemModel& model = *window.table()->model();
    const QVariant last = model.data(model.index(model.rowCount() - 1, 0));
    result.scroll_ms = Milliseconds(std::chrono::steady_clock::now() - scroll_start);
    if (!last.isValid()) {
        throw std::runtime_error("the last row could not be read");
    }
    return result;
}

int Run(int argc, char* argv[], int rows) {
    const TempFolder folder;
    const std::string journal = JournalFilePath(folder.Path("quillet.ini"));
    QApplication app(argc, argv);  // before the writer's thread is the first to use Qt
    const auto write_start = std::chrono::steady_clock::now();
    WriteJournal(journal, rows);
    const double write_s = Milliseconds(std::chrono::steady_clock::now() - write_start) / 1000;

    const QString path = QString::fromStdString(journal);
    OpenOnce(path);
    std::vector<double> open_ms, heap_mib, scroll_ms;
    for (int i = 0; i < kOpens; ++i) {
        const Open once = OpenOnce(path);
        if (once.rows != rows) {
            throw std::runtime_error("the window shows " + std::to_string(once.rows) + " rows");
        }
        open_ms.push_back(once.open_ms);
        heap_mib.push_back(once.heap_mib);
        scroll_ms.push_back(once.scroll_ms);
    }
    const std::string n = std::to_string(rows);
    const std::string of = " (median of " + std::to_string(kOpens) + ")";
    PrintRow("History: writing " + n + " events and their attempts (JournalWriter)",
             Fixed(write_s, 1, "s"));
    PrintRow("History: opening the window over " + n + " events, first rows shown" + of,
             Fixed(Median(open_ms), 0, "ms"), "≤ " + Fixed(kGoalOpenMs, 0, "ms"),
             Median(open_ms) <= kGoalOpenMs);
    PrintRow("History: heap of the open window" + of, Fixed(Median(heap_mib), 1, "MiB"),
             "≤ " + Fixed(kGoalHeapMiB, 0, "MiB"), Median(heap_mib) <= kGoalHeapMiB);
    PrintRow("History: scroll to the end, last row fetched" + of,
             Fixed(Median(scroll_ms), 0, "ms"));
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    return quillet::bench::QtBenchMain("bench-history", argc, argv, quillet::bench::kDefaultRows,
                                       &quillet::bench::Run);
}
