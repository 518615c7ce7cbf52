// Opens the one History window of the program: made when first asked for, brought to the front
// (and read anew) when asked again, gone when the user closes it.
#pragma once

#include <QPointer>
#include <QString>

#include "platform/qt/help_opener.h"
#include "platform/qt/history_window.h"

namespace quillet {

class HistoryOpener {
  public:
    // The window will show the journal at `journal_path`; F1 on it opens its page through
    // `help` when given.
    explicit HistoryOpener(QString journal_path, HelpOpener* help = nullptr);
    ~HistoryOpener();  // closes the window when it is open
    HistoryOpener(const HistoryOpener&) = delete;
    HistoryOpener& operator=(const HistoryOpener&) = delete;

    // Shows the window in front, the journal read anew.
    void Show();
    // Shows the window at the newest row of order `order_id` (see HistoryWindow::ShowOrder);
    // false when the journal has none.
    bool ShowOrder(const QString& order_id);

    // The window while it is open, else nullptr.
    HistoryWindow* window() const { return window_; }

  private:
    QString journal_path_;
    HelpOpener* help_;
    QPointer<HistoryWindow> window_;
};

}  // namespace quillet
