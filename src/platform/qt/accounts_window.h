// The "Select E-mail Account" dialog window, drawn from the formAccounts form: the account list
// with its columns, OK and Cancel along the bottom, the layout following the window's size.
#pragma once

#include <QDialog>

#include "accounts/form_accounts.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quillet {

class AccountsWindow final : public QDialog {
    Q_OBJECT
  public:
    // Draws `form`, which must outlive the window.
    AccountsWindow(formAccounts& form, QWidget* parent);

    QLabel* Label1 = nullptr;
    QTreeWidget* lstv = nullptr;
    QPushButton* cmdSelect[2] = {nullptr, nullptr};

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void ShowList();

    formAccounts& form_;
    Subscription list_shown_;  // ends with the window
};

}  // namespace quillet
