// The main window "Corvana - Quillet": the order list and the "E-mail Setup..." button, drawn
// from the formQuillet form.
#pragma once

#include <QWidget>

#include "app/form_quillet.h"
#include "platform/qt/order_list_model.h"

class QLabel;
class QListView;
class QPushButton;

namespace quillet {

class MainWindow final : public QWidget {
    Q_OBJECT
  public:
    // Draws `form`, which must outlive the window. Closing the window runs the form's unload.
    explicit MainWindow(formQuillet& form);

    QListView* List1() const { return list_; }
    QPushButton* cmdEmailSetup() const { return button_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void ApplyResizeRule();
    // The context menu of an order line: "Send Again" for a mail waiting or failed, "Copy".
    void ShowLineMenu(const QPoint& at);

    formQuillet& form_;
    OrderListModel model_;
    QListView* list_;
    QLabel* label_;
    QPushButton* button_;
    bool unloaded_ = false;
};

}  // namespace quillet
