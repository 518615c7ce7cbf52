// The main window "Corvana - Quillet": the order list and the "E-mail Setup..." button, drawn
// from the formQuillet form; while the form offers it, a link "Set up e-mail…" on the label's
// row, at its right end, which opens the setup dialog as the button does.
#pragma once

#include <QWidget>
#include <functional>

#include "app/shell/form_quillet.h"
#include "platform/qt/order_list_model.h"

class QLabel;
class QListView;
class QPushButton;

namespace quillet {

class MainWindow final : public QWidget {
    Q_OBJECT
  public:
    // Draws `form`, which must outlive the window. Closing the window runs the form's unload
    // and ends the event loop.
    explicit MainWindow(formQuillet& form);

    // Asked when the window is closed other than by Unload (the user's close box): false keeps
    // the program running (the check may hide the window). None: every close unloads.
    void SetCloseCheck(std::function<bool()> may_close) { may_close_ = std::move(may_close); }
    // What "History..." in the context menu and Ctrl+H do; none: neither is there.
    void SetShowHistory(std::function<void()> show_history) {
        show_history_ = std::move(show_history);
    }
    // Closes the window and runs the form's unload, asking nothing: for a shutdown.
    void Unload();

    QListView* List1() const { return list_; }
    QPushButton* cmdEmailSetup() const { return button_; }
    QLabel* SetupLink() const { return setup_link_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void ApplyResizeRule();
    // The set-up link at the right end of the label's row, as far in as the label.
    void PlaceSetupLink();
    // The delivery marks in colours that stand out from the list's background.
    void ShowMarksInPalette();
    // The context menu of an order line: "Send Again" for a mail waiting or failed, "Copy"; and
    // "History...", on a line or not.
    void ShowLineMenu(const QPoint& at);

    formQuillet& form_;
    OrderListModel model_;
    QListView* list_;
    QLabel* label_;
    QPushButton* button_;
    QLabel* setup_link_;
    bool unloaded_ = false;
    bool unloading_ = false;
    std::function<bool()> may_close_;
    std::function<void()> show_history_;
    Subscription fix_state_;  // the FIX session's state in the tip
    Subscription setup_offer_;  // the set-up link shows while the form offers it
};

}  // namespace quillet
