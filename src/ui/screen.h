// What the forms ask of the window system: windows shown and unloaded, message boxes, the
// one-line prompt, the mouse pointer and the help viewer. The Qt layer provides it; tests
// script it.
#pragma once

#include <optional>
#include <string>

namespace quillet {

class formAccounts;
class formEmailSetup;

enum class MessageIcon { Critical, Exclamation, Information };

class Screen {
  public:
    virtual ~Screen() = default;

    // Shows the main window, modeless.
    virtual void ShowMainWindow() = 0;
    // Shows the main window, restored when minimised, above the other windows and active.
    virtual void BringMainWindowToFront() = 0;
    // Unloads the main window, which ends the program once its unload has run. A modal dialog
    // that is showing is closed first.
    virtual void UnloadMainWindow() = 0;

    // Shows the setup dialog modally and returns when it is hidden or unloaded.
    virtual void ShowSetupDialogModal(formEmailSetup& dialog) = 0;
    // Hides the setup dialog, ending its modal display.
    virtual void HideSetupDialog() = 0;

    // Shows the account dialog modally, centred over the setup dialog, and returns when it is
    // closed (by a button or its close box).
    virtual void ShowAccountsDialogModal(formAccounts& dialog) = 0;
    // Closes the account dialog, ending its modal display.
    virtual void CloseAccountsDialog() = 0;
    // The width, in twips, of `text` in the account dialog's font.
    virtual float AccountsTextWidth(const std::string& text) = 0;

    // A message box with one OK button; returns when it is dismissed. Without a screen the
    // message goes to standard error.
    virtual void ShowMessage(const std::string& text, const std::string& title,
                             MessageIcon icon) = 0;
    // Asks for one line of text; empty when cancelled.
    virtual std::string InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& default_text) = 0;
    // The "Rules" dialog of recipient `entry`, modal, opened on `rule` (a RuleText; empty: the
    // default rule): the rule chosen (empty for the default), or none when cancelled. Without a
    // screen that has it, none.
    virtual std::optional<std::string> AskRecipientRule(const std::string& entry,
                                                        const std::string& rule) {
        (void)entry;
        (void)rule;
        return std::nullopt;
    }
    // The hourglass while `busy`, the default pointer otherwise.
    virtual void SetBusyPointer(bool busy) = 0;
    // Opens the help at `page`, a page of the HTML help such as "setup.html": the compiled help
    // file when the desktop has a program for it, else that page in the user's browser. Returns
    // at once; when nothing can be opened, a message box says what was looked for.
    virtual void OpenHelp(const std::string& page) = 0;
};

}  // namespace quillet
