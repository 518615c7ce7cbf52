#include "platform/qt/qt_screen.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <cmath>
#include <iostream>

#include "accounts/account_list_layout.h"
#include "platform/qt/accounts_window.h"
#include "platform/qt/email_setup_window.h"
#include "platform/qt/fonts.h"
#include "platform/qt/rules_dialog.h"

namespace quillet {

bool QtScreen::HasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
}

void QtScreen::ShowMainWindow() {
    if (main_window_) {
        main_window_->show();
    }
}

void QtScreen::BringMainWindowToFront() {
    if (!main_window_) {
        return;
    }
    main_window_->setWindowState(main_window_->windowState() & ~Qt::WindowMinimized);
    main_window_->show();
    if (HasDisplay()) {  // offscreen, no window is in front of another
        main_window_->raise();
        main_window_->activateWindow();
    }
}

void QtScreen::UnloadMainWindow() {
    // Modal dialogs end first (their loops return once this handler has), innermost last.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) {
            dialog->reject();
        }
    }
    if (setup_window_) {
        close_main_after_setup_ = true;  // ShowSetupDialogModal closes the main window
    } else if (main_window_) {
        main_window_->Unload();
    }
}

void QtScreen::ShowSetupDialogModal(formEmailSetup& dialog) {
    if (setup_window_ || !setup_slot_) {
        return;  // already showing: the dialog is modal, so this is not reached by a click
    }
    {
        // Gone before the main window may close, which unloads the form it draws.
        EmailSetupWindow window(dialog, *setup_slot_, main_window_);
        setup_window_ = &window;
        if (help_) {
            help_->AddHelpKey(window, "setup.html");
        }
        window.exec();
        setup_window_ = nullptr;
    }
    if (close_main_after_setup_) {
        close_main_after_setup_ = false;
        if (main_window_) {
            main_window_->Unload();
        }
    }
}

void QtScreen::HideSetupDialog() {
    if (setup_window_) {
        setup_window_->accept();
    }
}

void QtScreen::ShowAccountsDialogModal(formAccounts& dialog) {
    QWidget* owner = setup_window_ ? static_cast<QWidget*>(setup_window_) : main_window_.data();
    AccountsWindow window(dialog, owner);
    accounts_window_ = &window;
    if (help_) {
        help_->AddHelpKey(window, "accounts.html");
    }
    if (owner) {
        // Centred over the setup dialog, outer sizes, then moved in just far enough to lie on
        // the screen that holds the setup dialog's centre.
        const QRect o = owner->frameGeometry();
        const QSize frame = o.size() - owner->size();
        const QScreen* screen = QGuiApplication::screenAt(o.center());
        const QRect area = (screen ? screen : owner->screen())->availableGeometry();
        const WindowRect r =
            KeepWithin(CentreOver({static_cast<float>(o.x()), static_cast<float>(o.y()),
                                   static_cast<float>(o.width()), static_cast<float>(o.height())},
                                  static_cast<float>(window.width() + frame.width()),
                                  static_cast<float>(window.height() + frame.height())),
                       {static_cast<float>(area.x()), static_cast<float>(area.y()),
                        static_cast<float>(area.width()), static_cast<float>(area.height())});
        window.move(static_cast<int>(std::lround(r.left)), static_cast<int>(std::lround(r.top)));
    }
    window.exec();
    accounts_window_ = nullptr;
}

void QtScreen::CloseAccountsDialog() {
    if (accounts_window_) {
        accounts_window_->accept();
    }
}

float QtScreen::AccountsTextWidth(const std::string& text) {
    const double dpi = main_window_ ? main_window_->logicalDpiX() : 96.0;
    const QFontMetricsF metrics(TahomaFont());
    return static_cast<float>(metrics.horizontalAdvance(QString::fromStdString(text)) * 1440.0 /
                              dpi);
}

void QtScreen::ShowMessage(const std::string& text, const std::string& title, MessageIcon icon) {
    std::cerr << title << ": " << text << '\n';
    if (!HasDisplay()) {
        return;
    }
    const QMessageBox::Icon qt_icon = icon == MessageIcon::Critical      ? QMessageBox::Critical
                                      : icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                                         : QMessageBox::Information;
    QWidget* parent = setup_window_ ? static_cast<QWidget*>(setup_window_) : main_window_.data();
    QMessageBox box(qt_icon, QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    box.exec();
}

std::string QtScreen::InputBox(const std::string& prompt, const std::string& title,
                               const std::string& default_text) {
    if (!HasDisplay()) {
        return {};
    }
    QWidget* parent = setup_window_ ? static_cast<QWidget*>(setup_window_) : main_window_.data();
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, QString::fromStdString(title), QString::fromStdString(prompt),
                              QLineEdit::Normal, QString::fromStdString(default_text), &ok);
    return ok ? answer.toStdString() : std::string();
}

std::optional<std::string> QtScreen::AskRecipientRule(const std::string& entry,
                                                      const std::string& rule) {
    if (!HasDisplay()) {
        return std::nullopt;
    }
    return AskRecipientRuleDialog(
        setup_window_ ? static_cast<QWidget*>(setup_window_) : main_window_.data(), entry, rule);
}

void QtScreen::SetBusyPointer(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void QtScreen::OpenHelp(const std::string& page) {
    if (help_) {
        help_->Open(page);
    }
}

}  // namespace quillet
