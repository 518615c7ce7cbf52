// The Screen of the forms on Qt Widgets.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/qt/help_opener.h"
#include "platform/qt/main_window.h"
#include "ui/screen.h"

namespace quillet {

class SetupDialogSlot;
class EmailSetupWindow;
class AccountsWindow;

class QtScreen final : public Screen {
  public:
    // Both must be set before the forms use the screen; both must outlive it.
    void SetMainWindow(MainWindow* main_window) { main_window_ = main_window; }
    void SetSetupDialogSlot(SetupDialogSlot* slot) { setup_slot_ = slot; }
    // What opens the help (F1 in the dialogs too); none: the help opens nowhere.
    void SetHelpOpener(HelpOpener* help) { help_ = help; }

    void ShowMainWindow() override;
    void BringMainWindowToFront() override;
    // Closes every modal dialog first; the main window then closes once the setup dialog's
    // modal display has ended.
    void UnloadMainWindow() override;
    void ShowSetupDialogModal(formEmailSetup& dialog) override;
    void HideSetupDialog() override;
    void ShowAccountsDialogModal(formAccounts& dialog) override;
    void CloseAccountsDialog() override;
    float AccountsTextWidth(const std::string& text) override;
    // A message box on a real display; on a display-less platform (offscreen, minimal), where
    // nobody could dismiss it, the message goes to standard error only.
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override;
    std::optional<std::string> AskRecipientRule(const std::string& entry,
                                                const std::string& rule) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& default_text) override;
    void SetBusyPointer(bool busy) override;
    void OpenHelp(const std::string& page) override;

    // Whether a person can see and answer dialogs.
    static bool HasDisplay();

  private:
    QPointer<MainWindow> main_window_;
    SetupDialogSlot* setup_slot_ = nullptr;
    HelpOpener* help_ = nullptr;
    QPointer<EmailSetupWindow> setup_window_;   // while the setup dialog is shown
    QPointer<AccountsWindow> accounts_window_;  // while the account dialog is shown
    bool close_main_after_setup_ = false;
};

}  // namespace quillet
