// A Screen for tests: records what the forms show and answers prompts from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/screen.h"

namespace quillet::test {

class ScriptedScreen : public Screen {
  public:
    struct Message {
        std::string text;
        std::string title;
        MessageIcon icon;
    };

    void ShowMainWindow() override { ++main_window_shown; }
    void BringMainWindowToFront() override {}
    void UnloadMainWindow() override { ++main_window_unloaded; }
    void ShowSetupDialogModal(formEmailSetup&) override {}
    void HideSetupDialog() override { ++setup_dialog_hidden; }
    void ShowAccountsDialogModal(formAccounts& dialog) override {
        if (on_accounts_dialog) {
            on_accounts_dialog(dialog);
        }
    }
    void CloseAccountsDialog() override { ++accounts_dialog_closed; }
    // Every character is 100 twips wide.
    float AccountsTextWidth(const std::string& text) override {
        return 100.0f * static_cast<float>(text.size());
    }
    void ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) override {
        messages.push_back({text, title, icon});
    }
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& default_text) override {
        prompts.push_back({prompt, title, default_text});
        if (answers.empty()) {
            return "";
        }
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void SetBusyPointer(bool busy) override { busy_pointer.push_back(busy); }
    void OpenHelp(const std::string&) override {}

    int main_window_shown = 0;
    int main_window_unloaded = 0;
    int setup_dialog_hidden = 0;
    int accounts_dialog_closed = 0;
    // What the user does while the account dialog is shown.
    std::function<void(formAccounts&)> on_accounts_dialog;
    std::vector<Message> messages;
    struct Prompt {
        std::string prompt, title, default_text;
    };
    std::vector<Prompt> prompts;
    std::deque<std::string> answers;  // the next InputBox answers; empty text when used up
    std::vector<bool> busy_pointer;
};

}  // namespace quillet::test
