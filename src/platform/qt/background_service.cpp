#include "platform/qt/background_service.h"

#include <QMessageBox>
#include <iostream>

#include "app/shell/quit_question.h"
#include "platform/qt/main_window.h"
#include "platform/qt/quit_box.h"
#include "platform/qt/tray_icon.h"
#include "ui/screen.h"

namespace quillet {

BackgroundService::BackgroundService(formQuillet& form, MainWindow& window, Screen& screen,
                                     BackgroundOptions options)
    : form_(form), window_(window), screen_(screen), options_(std::move(options)) {
    window_.SetCloseCheck([this] { return MayClose(); });
    if (!TrayIcon::Available()) {
        return;
    }
    const auto report = [](const std::optional<std::string>& error) {
        if (error) {
            std::cerr << "quillet: " << *error << '\n';
        }
    };
    TrayActions actions;
    actions.show_window = [this] { screen_.BringMainWindowToFront(); };
    actions.email_setup = [this] { form_.cmdEmailSetup_Click(); };
    actions.show_history = options_.show_history;
    actions.send_failed_again = [this] { form_.SendFailedAgain(); };
    actions.quit = [this] {
        if (ConfirmQuit()) {
            screen_.UnloadMainWindow();
        }
    };
    actions.start_with_desktop = [this] { return HasAutostartEntry(options_.autostart); };
    actions.set_start_with_desktop = [this, report](bool on) {
        report(on ? WriteAutostartEntry(options_.autostart, options_.executable, options_.arguments)
                  : RemoveAutostartEntry(options_.autostart));
    };
    actions.keep_running = options_.keep_running;
    actions.set_keep_running = options_.set_keep_running;
    tray_ = std::make_unique<TrayIcon>(std::move(actions));
    mail_changes_ = form_.MailStateChanged.Subscribe([this] { ShowState(); });
    ShowState();
    tray_->Show();
}

BackgroundService::~BackgroundService() {
    window_.SetCloseCheck(nullptr);
}

bool BackgroundService::MayClose() {
    if (tray_ && options_.keep_running && options_.keep_running()) {
        window_.hide();
        if (!told_keeps_running_) {
            told_keeps_running_ = true;
            if (options_.notifier != nullptr && options_.notifier->Available()) {
                options_.notifier->Notify(
                    {"Quillet keeps running in the tray", std::string(kKeepsRunningText)});
            } else {
                tray_->TellKeepsRunning();
            }
        }
        return false;
    }
    return ConfirmQuit();
}

bool BackgroundService::ConfirmQuit() {
    const auto question = QuitQuestion(form_.MailCounts().waiting, form_.Connected());
    if (!question) {
        return true;
    }
    QWidget* parent = window_.isVisible() ? &window_ : nullptr;
    const std::unique_ptr<QMessageBox> box = MakeQuitBox(parent, *question, tray_ != nullptr);
    box->exec();
    switch (QuitChoiceOf(*box)) {
        case QuitChoice::kQuit:
            return true;
        case QuitChoice::kKeepRunningInTray:
            // As the tray menu's check of the same name: from now on a close hides the window.
            if (options_.set_keep_running) {
                options_.set_keep_running(true);
            }
            window_.hide();
            return false;
        case QuitChoice::kKeepRunning:
            break;
    }
    return false;
}

void BackgroundService::ShowState() {
    const OutboxCounts counts = form_.MailCounts();
    tray_->ShowState(counts.waiting, counts.failed, counts.delivered, counts.partly);
}

}  // namespace quillet
