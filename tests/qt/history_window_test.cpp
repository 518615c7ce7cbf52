// The History window over a journal file written as the program writes it: the day and text
// filters, sorting in the journal, the CSV export, Save Mail and ShowOrder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "platform/qt/history_window.h"
#include "support/journal_file.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

// 2026-12-DAY HH:MM in UTC, in milliseconds since 1970.
int64_t Utc(int day, int hour, int minute) {
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute), Qt::UTC).toMSecsSinceEpoch();
}

constexpr char kMail[] = "From: q@example.com\r\nSubject: CVT order # 77\r\n\r\nBuy 100\r\n";
constexpr char kCancelMail[] = "Subject: CVT order # 77\r\n\r\nCancel\r\n";

// Local time is five hours behind UTC (no summer time) for as long as the test runs.
struct FiveHoursWest {
    FiveHoursWest() { ::setenv("TZ", "EST5", 1), ::tzset(); }
    ~FiveHoursWest() { ::unsetenv("TZ"), ::tzset(); }
};

struct History : testing::Test {
    History() {
        test::JournalFile file(dir.Path("quillet-journal.sqlite"));
        file.Add({Utc(1, 15, 0), "OrderPlaced", "77", "XYZ", "Buy", "100", "12.5",
                  "Buy 100 share(s) of XYZ (OrderId=77)", "", "delivered", Utc(1, 15, 1),
                  "250 2.0.0 Ok: queued as 4XyZ", kMail});
        file.Add({Utc(1, 16, 0), "OrderPlaced", "100", "ACME", "Sell", "5", "9,75",
                  "Sell 5 share(s) of ACME (OrderId=100)", "", "failed", std::nullopt,
                  "550 5.7.1 \"no\", relay denied", "x"});
        file.Add({Utc(2, 14, 0), "OrderCancelled", "77", "XYZ", "", "", "", "Cancel 77", "",
                  "waiting", std::nullopt, "", kCancelMail});
        file.Add({Utc(2, 15, 0), "OrderPlaced", "9", "QQQ", "Buy", "500", "13", "", "not connected",
                  "", std::nullopt, "", ""});
        file.AddAttempt(2, Utc(1, 16, 0), "failed", "relay denied");
        EXPECT_TRUE(file.ok());
    }
    // The time column from top to bottom.
    std::vector<std::string> Times() const {
        std::vector<std::string> times;
        for (int row = 0; row < window.model().rowCount(); ++row) {
            times.push_back(window.model().index(row, 0).data().toString().toStdString());
        }
        return times;
    }
    FiveHoursWest west;
    test::TempDir dir;
    HistoryWindow window{QString::fromStdString(dir.Path("quillet-journal.sqlite"))};
};

constexpr char kT1[] = "2026-12-01 10:00:00 (UTC-05:00)", kT2[] = "2026-12-01 11:00:00 (UTC-05:00)",
               kT3[] = "2026-12-02 09:00:00 (UTC-05:00)", kT4[] = "2026-12-02 10:00:00 (UTC-05:00)";

TEST_F(History, FiltersAndSortsInTheJournal) {
    struct Case {
        int day;  // 0: all days
        const char* text;
        HistoryColumn sort;
        Qt::SortOrder order;
        std::vector<std::string> times;
    };
    const Case cases[] = {
        {0, "", HistoryColumn::kTime, Qt::DescendingOrder, {kT4, kT3, kT2, kT1}},
        {1, "", HistoryColumn::kTime, Qt::DescendingOrder, {kT2, kT1}},       // local days
        {0, "RELAY", HistoryColumn::kTime, Qt::DescendingOrder, {kT2}},       // the server's reply
        {0, "xyz cancel", HistoryColumn::kTime, Qt::DescendingOrder, {kT3}},  // every word
        {0, "connected", HistoryColumn::kTime, Qt::DescendingOrder, {kT4}},   // the note
        {0, "50%", HistoryColumn::kTime, Qt::DescendingOrder, {}},            // % is no wildcard
        {0, "", HistoryColumn::kOrder, Qt::AscendingOrder, {kT4, kT1, kT3, kT2}},   // 9 77 77 100
        {0, "", HistoryColumn::kPrice, Qt::DescendingOrder, {kT4, kT1, kT2, kT3}},  // 9,75 < 12.5
        {2, "", HistoryColumn::kDeliveredAt, Qt::AscendingOrder, {kT3, kT4}},
    };
    for (const Case& c : cases) {
        window.all_days()->setChecked(c.day == 0);
        window.day()->setDate(QDate(2026, 12, c.day == 0 ? 1 : c.day));
        window.find()->setText(c.text);
        window.table()->sortByColumn(static_cast<int>(c.sort), c.order);
        window.ApplyFilter();
        EXPECT_EQ(Times(), c.times) << c.day << " " << c.text << " " << static_cast<int>(c.sort);
    }
    window.all_days()->setChecked(true);
    window.find()->setText("acme");  // applied once typing pauses
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.model().rowCount() == 1; }, 10000));
    EXPECT_EQ(window.status()->text(), "1 order event");
}

TEST_F(History, ExportsWhatTheFilterShows) {
    window.all_days()->setChecked(false);
    window.day()->setDate(QDate(2026, 12, 1));
    const std::string path = dir.Path("out.csv");
    ASSERT_EQ(window.ExportTo(QString::fromStdString(path)), std::nullopt);
    EXPECT_EQ(test::ReadFile(path),
              "Time,Order,Event,Symbol,Side,Quantity,Price,Mail,Delivered at,Server reply\r\n"
              "2026-12-01T11:00:00.000-05:00,100,OrderPlaced,ACME,Sell,5,\"9,75\",Failed,,"
              "\"550 5.7.1 \"\"no\"\", relay denied\"\r\n"
              "2026-12-01T11:00:00.000-05:00,100,Attempt,,,,,Failed,,relay denied\r\n"
              "2026-12-01T10:00:00.000-05:00,77,OrderPlaced,XYZ,Buy,100,12.5,Delivered,"
              "2026-12-01T10:01:00.000-05:00,250 2.0.0 Ok: queued as 4XyZ\r\n");
    const QModelIndex mail = window.model().index(0, static_cast<int>(HistoryColumn::kMailState));
    EXPECT_EQ(mail.data(Qt::ToolTipRole).toString(),
              "2026-12-01 11:00:00 (UTC-05:00)  failed: relay denied");
}

TEST_F(History, ShowOrderSelectsItsNewestRowAndSavesItsMail) {
    window.all_days()->setChecked(false);
    window.day()->setDate(QDate(2026, 12, 1));  // hides the cancel of 77
    window.find()->setText("77");
    ASSERT_TRUE(window.ShowOrder("77"));
    EXPECT_TRUE(window.all_days()->isChecked());
    EXPECT_TRUE(window.find()->text().isEmpty());
    const QModelIndexList selected = window.table()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].data().toString(), kT3);
    ASSERT_TRUE(window.save_mail_button()->isEnabled());
    const std::string path = dir.Path("77.eml");
    ASSERT_EQ(window.SaveMailTo(QString::fromStdString(path)), std::nullopt);
    EXPECT_EQ(test::ReadFile(path), kCancelMail);

    ASSERT_TRUE(window.ShowOrder("9"));  // an event that sent no mail
    EXPECT_FALSE(window.save_mail_button()->isEnabled());
    EXPECT_NE(window.SaveMailTo(QString::fromStdString(path)), std::nullopt);
    EXPECT_EQ(test::ReadFile(path), kCancelMail);  // left as it was

    EXPECT_FALSE(window.ShowOrder("404"));
    EXPECT_TRUE(window.status()->text().contains("Order 404 has no row"));
}

TEST(HistoryWithoutJournal, SaysSoAndShowsNoRows) {
    test::TempDir dir;
    HistoryWindow window(QString::fromStdString(dir.Path("quillet-journal.sqlite")));
    EXPECT_EQ(window.model().rowCount(), 0);
    EXPECT_TRUE(window.status()->text().contains("does not exist"));
    EXPECT_FALSE(window.export_button()->isEnabled());
}

}  // namespace
}  // namespace quillet
