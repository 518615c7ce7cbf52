// bench-order-list [LINES]
//
// The main window's order list at a million lines: OrderList with its Qt model and a QListView
// set up as the main window sets up its list, shown on the offscreen platform.
//   - memory per line beyond the text: heap in use after the lines (laid out and scrolled
//     through) less heap in use before, less the bytes of the lines' text, per line; and the
//     most it came to at any step of 100,000 lines on the way (the text buffer grows by
//     doubling, so what it holds in reserve varies with the count);
//   - time per append: lines appended a thousand at a time (the model tells the view of each
//     at once), the time per line of each thousand, median; the event loop runs after each
//     thousand (the view lays out and repaints), outside the time;
//   - one order as the program sees it: one append and one turn of the event loop (layout and
//     repaint included), with an empty list and with the full list, median;
//   - scrolling through: scrollTo every 1000th row, the event loop run after each.
#include <QAbstractItemView>
#include <QApplication>
#include <QListView>
#include <algorithm>
#include <string>
#include <vector>

#include "app/orders/order_events.h"
#include "app/orders/order_lines.h"
#include "app/orders/order_list.h"
#include "bench_table.h"
#include "heap_usage.h"
#include "platform/qt/order_list_model.h"

namespace quillet::bench {
namespace {

constexpr int kDefaultLines = 1'000'000;
constexpr size_t kBatch = 1000;
constexpr size_t kScrollStep = 1000;
constexpr size_t kMemoryStep = 100'000;
constexpr int kSingleAppends = 200;
constexpr double kGoalBytesPerLine = 150;

// The list as the main window shows it: 317 x 146 pixels, one uniform row height, no selection.
void SetUpLikeTheMainWindow(QListView& view, OrderListModel& model) {
    view.setModel(&model);
    view.setUniformItemSizes(true);
    view.setSelectionMode(QAbstractItemView::NoSelection);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.resize(317, 146);
}

// Order lines of the kinds the program makes, numbered so that no two are alike.
std::string Line(size_t number) {
    static const char* const kSymbols[] = {"XYZ", "ACME", "QQQ", "EURUSD", "ES 03-25", "T"};
    const auto id = std::to_string(100000 + number);
    switch (number % 8) {
        case 6:
            return OrderLine(OrderCancelled{id});
        case 7:
            return OrderLine(OrderModified{id, 10.25, 11.5}, ".");
        default: {
            OrderPlaced order;
            order.OrderId = id;
            order.Side = number % 2 == 0 ? 1 : 2;
            order.Quantity = static_cast<int32_t>(100 * (1 + number % 50));
            order.Symbol = kSymbols[number % 6];
            order.OrderType = static_cast<int32_t>(1 + number % 5);
            order.StopPrice = 12.75;
            order.LimitPrice = 12.5 + static_cast<double>(number % 100) / 100;
            order.Info4 = "Acct 5521";
            order.Info5 = "Day";
            order.Info6 = "Desk A";
            return OrderLine(order, ".");
        }
    }
}

// One line appended, shown at once and one turn of the event loop, `count` times; the
// milliseconds of each.
std::vector<double> SingleAppends(OrderList& list, OrderListModel& model, size_t first_number,
                                  int count) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        const std::string line = Line(first_number + static_cast<size_t>(i));
        const auto start = std::chrono::steady_clock::now();
        list.AddItem(line);
        model.ShowNewLines();
        QApplication::processEvents();
        ms.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    }
    return ms;
}

int Run(int argc, char* argv[], int count) {
    const auto lines = static_cast<size_t>(count);
    QApplication app(argc, argv);
    OrderList list;
    OrderListModel model(list);
    QListView view;
    SetUpLikeTheMainWindow(view, model);
    view.show();
    QApplication::processEvents();

    const std::vector<double> empty_single = SingleAppends(list, model, 0, kSingleAppends);
    const size_t warm_lines = list.ListCount();
    size_t warm_text_bytes = 0;
    for (size_t i = 0; i < warm_lines; ++i) {
        warm_text_bytes += list.List(i).size();
    }

    std::vector<std::string> batch(kBatch);
    for (std::string& line : batch) {
        line.reserve(160);
    }
    QApplication::processEvents();
    const size_t heap_before = HeapBytesInUse();
    const size_t rss_before = OwnResidentBytes();

    // Heap beyond the text per added line, now.
    size_t added_text_bytes = 0;
    const auto beyond_text_per_line = [&] {
        const double added = static_cast<double>(list.ListCount() - warm_lines);
        return (static_cast<double>(HeapBytesInUse()) - static_cast<double>(heap_before) -
                static_cast<double>(added_text_bytes)) /
               added;
    };
    double worst_beyond_text = 0;

    std::vector<double> per_append_us;
    size_t number = warm_lines;
    const auto fill_start = std::chrono::steady_clock::now();
    while (list.ListCount() < lines) {
        const size_t count = std::min(kBatch, lines - list.ListCount());
        for (size_t i = 0; i < count; ++i) {
            batch[i] = Line(number++);
            added_text_bytes += batch[i].size();
        }
        const auto start = std::chrono::steady_clock::now();
        for (size_t i = 0; i < count; ++i) {
            list.AddItem(batch[i]);
        }
        per_append_us.push_back(Milliseconds(std::chrono::steady_clock::now() - start) * 1000 /
                                static_cast<double>(count));
        model.ShowNewLines();
        QApplication::processEvents();
        if ((list.ListCount() - warm_lines) % kMemoryStep == 0) {
            worst_beyond_text = std::max(worst_beyond_text, beyond_text_per_line());
        }
    }
    const double fill_s = Milliseconds(std::chrono::steady_clock::now() - fill_start) / 1000;

    std::vector<double> scroll_ms;
    const auto scroll_start = std::chrono::steady_clock::now();
    for (size_t row = 0; row < list.ListCount(); row += kScrollStep) {
        const auto start = std::chrono::steady_clock::now();
        view.scrollTo(model.index(static_cast<int>(row)));
        QApplication::processEvents();
        scroll_ms.push_back(Milliseconds(std::chrono::steady_clock::now() - start));
    }
    const double scroll_s = Milliseconds(std::chrono::steady_clock::now() - scroll_start) / 1000;
    view.scrollToBottom();
    QApplication::processEvents();

    const double added_lines = static_cast<double>(list.ListCount() - warm_lines);
    const double heap_beyond_text = beyond_text_per_line();
    const double rss_beyond_text =
        (static_cast<double>(OwnResidentBytes()) - static_cast<double>(rss_before) -
         static_cast<double>(added_text_bytes)) /
        added_lines;
    const double text_per_line = static_cast<double>(warm_text_bytes + added_text_bytes) /
                                 static_cast<double>(list.ListCount());
    const std::string n = std::to_string(list.ListCount());
    const std::vector<double> full_single = SingleAppends(list, model, number, kSingleAppends);

    PrintRow("Order list: text per line (" + n + " lines)", Fixed(text_per_line, 1, "B"));
    const std::string goal = "≤ " + Fixed(kGoalBytesPerLine, 0, "B");
    PrintRow("Order list: heap per line beyond its text, at " + n + " lines",
             Fixed(heap_beyond_text, 1, "B"), goal, heap_beyond_text <= kGoalBytesPerLine);
    PrintRow("Order list: heap per line beyond its text, most at any 100,000 on the way",
             Fixed(worst_beyond_text, 1, "B"), goal, worst_beyond_text <= kGoalBytesPerLine);
    PrintRow("Order list: RSS per line beyond its text, at " + n + " lines",
             Fixed(rss_beyond_text, 1, "B"));
    PrintRow("Order list: append (model and view told), per line (median)",
             Fixed(Median(per_append_us), 2, "µs"));
    PrintRow("Order list: filling " + n + " lines, event loop after every 1000",
             Fixed(fill_s, 1, "s"));
    PrintRow("Order list: one append + event-loop turn (layout, repaint), empty / full list",
             Fixed(Median(empty_single), 2, "ms") + " / " + Fixed(Median(full_single), 2, "ms"));
    PrintRow("Order list: scroll through (scrollTo every 1000th row), per step (median) / total",
             Fixed(Median(scroll_ms), 2, "ms") + " / " + Fixed(scroll_s, 2, "s"));
    return 0;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char* argv[]) {
    return quillet::bench::QtBenchMain("bench-order-list", argc, argv,
                                       quillet::bench::kDefaultLines, &quillet::bench::Run);
}
