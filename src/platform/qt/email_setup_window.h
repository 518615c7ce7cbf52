// The "E-Mail Setup" dialog window, drawn from the formEmailSetup form: every control at its
// place, the widgets and the form's state kept in step both ways, clicks turned into the
// form's handlers. The close box unloads the dialog (which saves the settings); "Close" only
// hides it. On a screen too small for it, it takes what the screen holds and its controls scroll,
// but for the status line, which stays in sight at its foot.
#pragma once

#include <QDialog>
#include <vector>

#include "settings/form_email_setup.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillet {

class SetupDialogSlot;

class EmailSetupWindow final : public QDialog {
    Q_OBJECT
  public:
    // Draws `form`, which `slot` holds; both must outlive the window unless the close box
    // unloads the form, after which the window no longer touches it.
    EmailSetupWindow(formEmailSetup& form, SetupDialogSlot& slot, QWidget* parent);

    // The widgets by their control names, for tests and screenshots.
    QLineEdit* txtDisplayName = nullptr;
    QLineEdit* txtEmail = nullptr;
    QComboBox* cmbServerTemplate = nullptr;
    QLineEdit* txtSMTPserver = nullptr;
    QLineEdit* txtPort = nullptr;
    QCheckBox* chkSSL = nullptr;
    QCheckBox* chkAuthRequired = nullptr;
    QLineEdit* txtAccountName = nullptr;
    QLineEdit* txtPassword = nullptr;
    QListWidget* lstSendTo = nullptr;
    QPushButton* cmdAddEmail[3] = {nullptr, nullptr, nullptr};
    QPushButton* cmdGuess = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* cmdHelp = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* lblLog = nullptr;              // wraps; at the dialog's foot when the page scrolls
    QPushButton* cmdCancelTest = nullptr;  // "Cancel" at the status line's end, while testing
    // The local HTTP endpoint's row, below the rest.
    QCheckBox* chkHttp = nullptr;
    QLineEdit* txtHttpPort = nullptr;
    QLineEdit* txtHttpToken = nullptr;  // read-only
    QPushButton* cmdCopyToken = nullptr;
    // The token command's row, below the HTTP row.
    QLineEdit* txtTokenCommand = nullptr;
    // "Rules..." of the selected recipient, in the row below the token command's.
    QPushButton* cmdRules = nullptr;
    // The limits' row, below the token row: whole numbers only.
    QLineEdit* txtPerMinute = nullptr;
    QLineEdit* txtPerDay = nullptr;
    // Below them: whether waiting order mails go together.
    QCheckBox* chkMergeWaiting = nullptr;
    // "Alarm and Summary...", below the token row, when the form has their settings.
    QPushButton* cmdWatch = nullptr;

  protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Build();
    void BuildHttpRow(double ppt);
    void BuildTokenRow(double ppt);
    void BuildRulesRow(double ppt);
    void BuildLimitsRow(double ppt);
    void BuildWatchRow(double ppt);
    // Its size on a screen too small for it: the controls scroll, and every one stays in reach.
    void FitToScreen();
    void Bind();
    void ShowList();
    // The status line, its colour readable on the dialog's palette.
    void ShowLog();
    // "Cancel" beside the status line, while a test message is under way.
    void ShowCancel();

    formEmailSetup* form_;  // null once the close box has unloaded it
    SetupDialogSlot& slot_;
    bool showing_list_ = false;                // the list widget is being filled from the form
    std::vector<Subscription> subscriptions_;  // the form's changes shown; end with the window
};

}  // namespace quillet
