// The "History" window: every order event of the journal, in a table that reads the journal
// as it scrolls, with a day picker and a text filter, sorting by any column, "Export..." of
// what the filter shows to CSV and "Save Mail..." of the selected row's message.
#pragma once

#include <QWidget>
#include <optional>

#include "platform/history/history_model.h"
#include "platform/history/journal_reader.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace quillet {

class HistoryWindow final : public QWidget {
    Q_OBJECT
  public:
    // The text filter applies once typing has paused this long.
    static constexpr int kTypingPauseMs = 250;

    // Shows the journal at `journal_path` (read only), all days, newest first. A journal that
    // is missing or cannot be read shows no rows and says why in the status line.
    explicit HistoryWindow(const QString& journal_path, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads the journal anew with the day and text of the controls now.
    void ApplyFilter();
    // Reads the journal anew, then selects the newest row of order `order_id` and scrolls it
    // into the middle of the view; when the day or the text hides it, both are cleared first.
    // False (the filter as it was, and the status line says so) when the journal holds no row
    // of the order or cannot be read.
    bool ShowOrder(const QString& order_id);

    // What the buttons do once a file is chosen; each gives the reason when it failed. The mail
    // is the selected row's message as stored; nothing is written without one.
    std::optional<QString> ExportTo(const QString& path);
    std::optional<QString> SaveMailTo(const QString& path);

    QTableView* table() const { return table_; }
    QDateEdit* day() const { return day_; }
    QCheckBox* all_days() const { return all_days_; }
    QLineEdit* find() const { return find_; }
    QPushButton* export_button() const { return export_; }
    QPushButton* save_mail_button() const { return save_mail_; }
    QLabel* status() const { return status_; }
    const HistoryModel& model() const { return model_; }

  private:
    void ChooseExportFile();
    void ChooseMailFile();
    void ShowState();
    const HistoryRow* SelectedRow() const;

    JournalReader journal_;
    HistoryModel model_;
    QDateEdit* day_;
    QCheckBox* all_days_;
    QLineEdit* find_;
    QTableView* table_;
    QLabel* status_;
    QPushButton* export_;
    QPushButton* save_mail_;
    QPushButton* close_;
    QTimer* typing_;
    QString notice_;  // said after the counts until the next refresh
};

}  // namespace quillet
